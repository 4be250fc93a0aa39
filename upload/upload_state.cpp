#include "upload/upload_state.h"

UploadState uploadStates[UPLOAD_SERVICE_COUNT] = {};
