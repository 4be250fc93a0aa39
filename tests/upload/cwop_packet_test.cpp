// CWOP's login line, weather packet and login answer, written out by hand
// from the APRS weather report format.
#include "upload/cwop_packet.h"

#include <gtest/gtest.h>

#include "tests/upload/worked_observations.h"

namespace {

NetworkAccount account(const std::string& callsign = "CW0003", const std::string& passcode = "")
{
    return {CWOP_ENDPOINT, callsign, passcode, "aerovane 1.01"};
}

constexpr StationPosition GREENWICH = {51.4778, -0.0014};
constexpr StationPosition SYDNEY = {-33.8688, 151.2093};

TEST(CwopPacket, LoginLines)
{
    EXPECT_EQ(cwopLoginLine(account()), "user CW0003 pass -1 vers aerovane 1.01");
    EXPECT_EQ(cwopLoginLine(account("N0CALL-13", "12345")), "user N0CALL-13 pass 12345 vers aerovane 1.01");
    // Anything that could put a line of its own on the connection is no login.
    for (const char* callsign : {"", "CW0003\r\n#", "N0 CALL", "TOOLONGCALL", "N0CALL-", "-1"}) {
        SCOPED_TRACE(callsign);
        EXPECT_EQ(cwopLoginLine(account(callsign)), "");
    }
    EXPECT_EQ(cwopLoginLine(account("N0CALL", "12a")), "");
    EXPECT_EQ(cwopLoginLine(account("N0CALL", "1234567")), "");
}

TEST(CwopPacket, WorkedWeatherReport)
{
    EXPECT_EQ(cwopWeatherPacket(account(), GREENWICH, wintryObservation()),
              "CW0003>APRS,TCPIP*:@011234z5128.67N/00000.08W_225/009g016t022r006p...P050h87b10132");
}

TEST(CwopPacket, UnknownValuesAreDotsAndBelowZeroFahrenheitSigned)
{
    EXPECT_EQ(cwopWeatherPacket(account(), SYDNEY, sparseObservation()),
              "CW0003>APRS,TCPIP*:@312359z3352.13S/15112.56E_.../000g...t-04r...p...P...h..b10000");
}

TEST(CwopPacket, ReadingsHeldToTheirFieldWidths)
{
    ArchivedObservation o = emptyObservation(1772368496);
    o.value[StationFields::outdoorHumidity] = 100;
    o.value[StationFields::outdoorTemp] = -80; // -112 °F
    o.value[StationFields::windSpeed] = 2000;
    std::string packet = cwopWeatherPacket(account(), GREENWICH, o);
    EXPECT_NE(packet.find("_.../999g...t-99"), std::string::npos) << packet;
    EXPECT_NE(packet.find("h00b"), std::string::npos) << packet;
    o.value[StationFields::outdoorHumidity] = 0.4;
    o.value[StationFields::outdoorTemp] = 600;
    packet = cwopWeatherPacket(account(), GREENWICH, o);
    EXPECT_NE(packet.find("t999"), std::string::npos) << packet;
    EXPECT_NE(packet.find("h01b"), std::string::npos) << packet;
}

TEST(CwopPacket, PositionsRoundIntoTheNextMinuteOrAreRefused)
{
    EXPECT_EQ(aprsPosition({10.99999, 0.0}), "1100.00N/00000.00E");
    EXPECT_EQ(aprsPosition({-90.0, -180.0}), "9000.00S/18000.00W");
    EXPECT_EQ(aprsPosition({90.5, 0.0}), "");
    EXPECT_EQ(aprsPosition({0.0, NAN}), "");
    EXPECT_EQ(cwopWeatherPacket(account(), {0.0, 200.0}, wintryObservation()), "");
    EXPECT_EQ(cwopWeatherPacket(account("bad call"), GREENWICH, wintryObservation()), "");
}

TEST(CwopLoginReply, VerifiedOrUnverifiedAsThePasscodeWants)
{
    const std::string unverified = "# aprsc 2.1.14-g5e22b37\r\n# logresp CW0003 unverified, server T2TEST\r\n";
    const std::string verified = "# aprsc 2.1.14\r\n# logresp N0CALL verified, server T2TEST\r\n";
    EXPECT_EQ(readCwopLoginReply(unverified, account()).verdict, DeliveryVerdict::accepted);
    const DeliveryOutcome wrongPasscode = readCwopLoginReply(unverified, account("CW0003", "12345"));
    EXPECT_EQ(wrongPasscode.verdict, DeliveryVerdict::refused);
    EXPECT_EQ(wrongPasscode.reason, "the passcode was not taken: # logresp CW0003 unverified, server T2TEST");
    EXPECT_EQ(readCwopLoginReply(verified, account("N0CALL", "12345")).verdict, DeliveryVerdict::accepted);
}

TEST(CwopLoginReply, NoAnswerYetOrAtAll)
{
    // The transport hands over the logresp line alone, or nothing.
    EXPECT_EQ(readCwopLoginReply("# logresp CW0003 verified, server T2TEST", account()).verdict,
              DeliveryVerdict::accepted);
    EXPECT_EQ(readCwopLoginReply("", account()).reason, "no answer to the login");
    const DeliveryOutcome silent = readCwopLoginReply("# aprsc 2.1.14\r\n", account());
    EXPECT_EQ(silent.verdict, DeliveryVerdict::failed);
    EXPECT_EQ(silent.reason, "no answer to the login: # aprsc 2.1.14");
    EXPECT_EQ(readCwopLoginReply("# logresp CW0003 garbled\r\n", account()).verdict, DeliveryVerdict::failed);
}

} // namespace
