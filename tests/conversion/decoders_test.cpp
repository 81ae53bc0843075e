#include <gtest/gtest.h>

#include <cmath>

#include "decoders.h"
#include "section_values.h"

namespace telvane {
namespace {

using testing::Section;
using testing::Strings;
using testing::Values;

TEST(DecodeUrlLine, DropsSpacesAndLowerCases) {
    const struct {
        std::string line;
        std::string address;
    } cases[] = {
        {"AB CD.EF/GH", "abcd.ef/gh"},
        {"   ", ""},
        {"ZK1", "zk1"},
        {"A\x82\x60"
         "B",
         "a\x82\x60"
         "b"},  // a full-width letter survives whole
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Section(DecodeUrlLine, &ConversionState::m_strLine1, c.line),
                  "VORTA URL\t\t\t\thttp://" + c.address +
                      "  (Does this show VORTA's web site correctly?)\r\n");
    }
    EXPECT_EQ(Section(DecodeUrlLine, &ConversionState::m_strLine1, ""), "");
}

TEST(DecodeTimeLine, ReadsThreeBytesAndEchoesTheFirstSixCharacters) {
    const struct {
        std::string line;
        std::string expected;
    } cases[] = {
        {"1A 2B 3C", "1715004   (0x1A2B3C)"}, {"1A2", "1712128   (0x1A2000)"},
        {"1G2B3C", "11068   (0x1G2B3C)"},     {"FFFFFF", "16777215   (0xFFFFFF)"},
        {"0000010203", "1   (0x000001)"},     {"   ", "0   (0x000000)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Section(DecodeTimeLine, &ConversionState::m_strLine2, c.line),
                  "ORBEL-K internal time\t\t" + c.expected + "\r\n");
    }
}

TEST(DecodeStatusLine, DecodesEveryBitAndRaisesTheTrickleFlag) {
    const std::string allClear =
        "Uplink count\t\t\t0/31\r\n"
        "Camera count\t\t\t0/7\r\n"
        "SEL count (communication subsystem)\t\t0/7\r\n"
        "Antenna deployment\t\tNot yet\r\n"
        "CW duty ratio\t\t\t0\r\n"
        "OBC reset\t\t\t\tNormal (There is no reset, or unexpected reset by the radiation.)\r\n"
        "Battery charging\t\tRapid Charge\r\n"
        "OBC existence\t\t\tAlive\r\n"
        "FM Opeartion\t\t\tWaiting\r\n";
    const std::string allSet =
        "Uplink count\t\t\t31/31\r\n"
        "Camera count\t\t\t7/7\r\n"
        "SEL count (communication subsystem)\t\t7/7\r\n"
        "Antenna deployment\t\tFinished\r\n"
        "CW duty ratio\t\t\tMore than 0.3\r\n"
        "OBC reset\t\t\t\tBy watch dog timer\r\n"
        "Battery charging\t\tTrickle Charge\r\n"
        "OBC existence\t\t\tDead\r\n"
        "FM Operation\t\t\tSending Data\r\n";
    const std::string mixed =
        "Uplink count\t\t\t10/31\r\n"
        "Camera count\t\t\t1/7\r\n"
        "SEL count (communication subsystem)\t\t3/7\r\n"
        "Antenna deployment\t\tFinished\r\n"
        "CW duty ratio\t\t\tLess than 0.3\r\n"
        "OBC reset\t\t\t\tNormal (There is no reset, or unexpected reset by the radiation.)\r\n"
        "Battery charging\t\tTrickle Charge\r\n"
        "OBC existence\t\t\tDead\r\n"
        "FM Operation\t\t\tSending Data\r\n";
    const std::string badMiddle =
        "Uplink count\t\t\t10/31\r\n"
        "Camera count\t\t\t1/7\r\n"
        "SEL count (communication subsystem)\t\t0/7\r\n"
        "Antenna deployment\t\tNot yet\r\n"
        "CW duty ratio\t\t\t0\r\n"
        "OBC reset\t\t\t\tNormal (There is no reset, or unexpected reset by the radiation.)\r\n"
        "Battery charging\t\tRapid Charge\r\n"
        "OBC existence\t\t\tDead\r\n"
        "FM Operation\t\t\tSending Data\r\n";
    const struct {
        std::string line;
        const std::string& expected;
        bool trickle;
    } cases[] = {
        {"000000", allClear, false}, {"0", allClear, false},         {"FFFFFF", allSet, true},
        {"2A9B03", mixed, true},     {"2A Z9 03", badMiddle, false},
    };
    for (const auto& c : cases) {
        ConversionState state;
        state.m_strLine3 = c.line;
        DecodeStatusLine(state);
        EXPECT_EQ(state.m_strResult, c.expected) << "line " << c.line;
        EXPECT_EQ(state.m_bTrickle, c.trickle) << "line " << c.line;
    }
}

TEST(DecodeStatusLine, DutyRatioCodeTwo) {
    const std::string section = Section(DecodeStatusLine, &ConversionState::m_strLine3, "0020");
    EXPECT_NE(section.find("CW duty ratio\t\t\t0.3\r\n"), std::string::npos);
}

TEST(DecodePowerLine, PrintsVoltageTemperatureSolarInThatOrder) {
    EXPECT_EQ(Section(DecodePowerLine, &ConversionState::m_strLine4, "A08090"),
              "Battery voltage\t\t\t12.0V\r\n"
              "Battery temperature\t\t25.0\x81\x8E\r\n"
              "Solar array voltage\t\t9.6V\r\n");
}

TEST(DecodePowerLine, RecalibratesTheReferenceOnlyDuringTrickleChargeBelowThreshold) {
    const struct {
        std::string line;
        bool trickle;
        Strings values;  // battery voltage, battery temperature, solar array voltage
        double vref;
    } cases[] = {
        {"A08090", false, {"12.0", "25.0", "9.6"}, 4.77},
        {"000000", false, {"0.0", "-77.1", "0.0"}, 4.77},
        {"FFFFFF", false, {"19.1", "103.7", "19.1"}, 4.77},
        {"328090", true, {"4.1", "55.6", "10.5"}, 261.375 / 50},
        {"368090", true, {"4.1", "25.0", "9.7"}, 261.375 / 54},
        {"378090", true, {"4.1", "25.0", "9.6"}, 4.77},
        {"328090", false, {"3.7", "25.0", "9.6"}, 4.77},
        {"36878C", true, {"4.1", "22.2", "10.3"}, 261.375 / 54},  // solar exactly 10.25
        {"9 F2 3", false, {"11.9", "-77.1", "2.6"}, 4.77},
        {"1G8090", true, {"4.1", "inf", "inf"}, INFINITY},  // zero battery count
    };
    for (const auto& c : cases) {
        ConversionState state;
        state.m_strLine4 = c.line;
        state.m_bTrickle = c.trickle;
        state.m_dVref = 1.0;  // must be reset by the decoder
        DecodePowerLine(state);
        EXPECT_EQ(Values(state.m_strResult), c.values) << "line " << c.line;
        EXPECT_EQ(state.m_dVref, c.vref) << "line " << c.line;
    }
}

TEST(DecodeCurrentLine, CouplesTheMiddlePanelsAndClampsNegatives) {
    EXPECT_EQ(Section(DecodeCurrentLine, &ConversionState::m_strLine5, "123456"),
              "Solar array current\r\n"
              "  +X panel\t\t\t\t31.4mA\r\n"
              "  -X panel\t\t\t\t35.2mA\r\n"
              "  +Y panel\t\t\t\t41.1mA\r\n"
              "  -Y panel\t\t\t\t117.1mA\r\n"
              "  +Z panel\t\t\t\t113.1mA\r\n"
              "  -Z panel\t\t\t\t135.0mA\r\n");
    const struct {
        std::string line;
        double vref;
        Strings values;
    } cases[] = {
        {"123456", 4.77, {"31.4", "35.2", "41.1", "117.1", "113.1", "135.0"}},
        {"000000", 4.77, {"0.0", "0.0", "0.0", "0.0", "0.0", "0.0"}},
        {"   ", 4.77, {"0.0", "0.0", "0.0", "0.0", "0.0", "0.0"}},
        {"FFFFFF", 4.77, {"471.3", "319.1", "229.9", "438.8", "303.2", "337.4"}},
        {"0F0000", 4.77, {"0.0", "370.4", "0.0", "0.0", "0.0", "0.0"}},
        {"010F00", 4.77, {"0.0", "23.6", "0.0", "441.7", "0.0", "0.0"}},
        {"123456", 5.2275, {"34.4", "38.6", "45.0", "128.4", "124.0", "147.9"}},
        {"1234G6", 4.77, {"31.4", "44.8", "56.8", "117.5", "0.0", "135.0"}},
        {"123456", INFINITY, {"0.0", "0.0", "0.0", "0.0", "0.0", "0.0"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(
            Values(Section(DecodeCurrentLine, &ConversionState::m_strLine5, c.line, false, c.vref)),
            c.values)
            << "line " << c.line << " vref " << c.vref;
    }
}

TEST(DecodeTemperatureLine, CalibratesEachSensorAndTheSignalStrength) {
    EXPECT_EQ(Section(DecodeTemperatureLine, &ConversionState::m_strLine6, "0000000000"),
              "Temperature\r\n"
              "  +X panel\t\t\t\t-77.2deg\r\n"
              "  -X panel\t\t\t\t-77.2deg\r\n"
              "  +Y panel\t\t\t\t-78.6deg\r\n"
              "  -Y panel\t\t\t\t-77.1deg\r\n"
              "  +Z panel\t\t\t\t-76.7deg\r\n"
              "  -Z panel\t\t\t\t-77.5deg\r\n"
              "  Battery\t\t\t\t-77.1deg\r\n"
              "  Transmitter\t\t\t-77.0deg\r\n"
              "RSSI\t\t\t\t\t0.1dBu\r\n");
    const struct {
        std::string line;
        double vref;
        Strings values;
    } cases[] = {
        {"8888888880",
         4.77,
         {"12.8", "13.3", "11.5", "13.8", "12.7", "13.7", "13.7", "14.1", "9.4"}},
        {"FFFFFFFFFF",
         4.77,
         {"91.5", "92.4", "90.4", "93.3", "90.9", "93.5", "93.1", "93.8", "18.6"}},
        {"8888888880",
         5.2275,
         {"42.0", "42.7", "40.8", "43.3", "41.8", "43.3", "43.2", "43.7", "10.3"}},
        {"88888888", 4.77, {"12.8", "13.3", "11.5", "13.8", "12.7", "13.7", "13.7", "14.1", "0.1"}},
        {"88Z888888G",
         4.77,
         {"12.8", "13.3", "-78.6", "13.8", "12.7", "13.7", "13.7", "14.1", "0.1"}},
        {"8888888880", INFINITY, {"inf", "inf", "inf", "inf", "inf", "inf", "inf", "inf", "inf"}},
        {"0000000000", INFINITY, {"nan", "nan", "nan", "nan", "nan", "nan", "nan", "nan", "nan"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Values(Section(DecodeTemperatureLine, &ConversionState::m_strLine6, c.line, false,
                                 c.vref)),
                  c.values)
            << "line " << c.line << " vref " << c.vref;
    }
}

}  // namespace
}  // namespace telvane
