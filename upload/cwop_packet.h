// The Citizen Weather Observer Program (CWOP), reached through APRS-IS: the
// login line, one weather report packet, and the server's answer to the
// login. The transport (sendAprs, a TCP connection to cwop.aprs.net:14580)
// is the shell's and ends each line with CR LF.
//
// What the CWOP guide and the APRS protocol reference (1.01) say:
// - the client logs in with "user CALL pass PASSCODE vers SOFTWARE VERSION";
//   a licensed radio amateur's passcode verifies the login, a CWOP member's
//   CW/DW/EW station id logs in with passcode -1, unverified, and its
//   packets are taken all the same; the server answers with a line
//   "# logresp CALL verified" or "... unverified";
// - a packet is "CALL>APRS,TCPIP*:" and a position report with time stamp:
//   '@', DDHHMM and 'z' (day, hour, minute in UTC), latitude "DDMM.mmN",
//   the symbol table '/', longitude "DDDMM.mmW", the weather symbol '_';
//   leading zeros are required, two digits after the point, N/S and E/W as
//   capital letters;
// - then the weather report: wind direction (degrees) '/' speed (mph),
//   gGGG gust (mph), tTTT temperature (°F, below zero "-01" to "-99"),
//   rRRR rain of the last hour, pPPP of the last 24 hours, PPPP since
//   midnight (hundredths of an inch), hHH humidity ("00" is 100 %),
//   bBBBBB pressure (tenths of hPa, sea-level); an unknown value is filled
//   with dots;
// - not faster than one packet every 5 minutes, and only current
//   conditions: no back-fill.
#pragma once

#include <string>

#include "upload/observation.h"
#include "upload/request_text.h"

constexpr char CWOP_ENDPOINT[] = "cwop.aprs.net:14580";

// Where the station stands, in decimal degrees (north and east positive).
struct StationPosition {
    double latitude;
    double longitude;
};

// "DDMM.mmN/DDDMM.mmW" (the minutes rounded to hundredths), or empty for a
// position off the globe or no number.
std::string aprsPosition(const StationPosition& position);

// "user CALL pass PASSCODE vers SOFTWARE" for the account (identity: the
// callsign or CW/DW/EW id; secret: the passcode, "-1" when empty). Empty
// when the callsign is no APRS callsign (letters and digits, an optional
// "-SSID", at most 9 characters) or the passcode no number: either would
// let the configuration write lines of its own onto the connection.
std::string cwopLoginLine(const NetworkAccount& account);

// "CALL>APRS,TCPIP*:@DDHHMMz<position>_<weather>" for the observation, or
// empty for a callsign cwopLoginLine refuses or a position aprsPosition
// refuses. Readings beyond a field's width are held at its end.
std::string cwopWeatherPacket(const NetworkAccount& account, const StationPosition& position,
                              const ArchivedObservation& observation);

// The server's answer to the login (its "# logresp" line, or any text
// holding it; empty when none came): verified accepted; unverified
// accepted only when no passcode was given (a CWOP id), refused for a wrong
// passcode; no answer failed.
DeliveryOutcome readCwopLoginReply(const std::string& serverText, const NetworkAccount& account);
