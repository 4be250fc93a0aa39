#!/bin/sh
# Runs a command on a private virtual display (Xvfb, 1280 x 1024, 24 bits),
# never on the caller's: the screen's depth, which window has the focus and
# the desktop's theme would all change what Wine draws and what a test reads
# back. A command started on one of these displays keeps it, so a whole test
# run shares one.
#   scripts/private-display.sh COMMAND [ARGUMENT...]
if [ -n "$DISPLAY" ] && [ "$DISPLAY" = "$AEROVANE_PRIVATE_DISPLAY" ]; then
  exec "$@"
fi
# xvfb-run sets DISPLAY to the server it starts; the command's shell notes it
# as ours before it runs the command.
exec xvfb-run -a -s "-screen 0 1280x1024x24" \
  sh -c 'AEROVANE_PRIVATE_DISPLAY=$DISPLAY; export AEROVANE_PRIVATE_DISPLAY; exec "$@"' sh "$@"
