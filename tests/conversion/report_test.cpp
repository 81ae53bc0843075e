#include <gtest/gtest.h>

#include "conversion.h"
#include "section_values.h"

namespace telvane {
namespace {

using Lines = std::array<std::string, kLineCount>;

constexpr LocalTime kTime{2024, 3, 5, 9, 7, 0};

const std::string kHead =
    "Telvane  -  VORTA, Ulmstead\r\n"
    "Conversion Time\x81\x46\x81\x40"
    "2024/03/05 09:07:00\r\n"
    "\r\n";

const std::string kFooter =
    "\r\n"
    "* Results are not shown for the blank data.\r\n"
    "* If there are some decoding mistakes, this software may offer unexpected results.\r\n"
    "\r\n"
    "Thank you for your receiving the signal from ORBEL-K.\r\n"
    "Please refer the VORTA's web site to know the details of the data format.\r\n"
    "http://www.vorta.example/qorn_gs/satelliteinfo.html\r\n"
    "\r\n"
    "Vortalis  CubeSat Project\r\n"
    "http://www.vorta.example/cubesat/index-e.html\r\n";

// The echo block as the report shows it: each line after its label, then an empty line.
std::string Echo(const Lines& lines) {
    std::string echo = "<INPUT DATA>\r\n";
    for (int k = 0; k < kLineCount; ++k) {
        echo += "ZK" + std::to_string(k + 1) + "\t" + lines[k] + "\r\n";
    }
    return echo + "\r\n";
}

// What the report holds between its echo and its footer.
std::string Sections(const std::string& report) {
    const std::size_t begin = report.find("<RESULT OF CONVERSION>\r\n");
    const std::size_t end = report.rfind(kFooter);
    return report.substr(begin + 24, end - begin - 24);
}

TEST(Report, CompleteBeaconByteForByte) {
    const Lines boxes = {"ZK1 AB CD/EF", "ZK2 01 23 45",    "ZK3 25 38 02 00",
                         "ZK4 37 A0 8C", "ZK5 4 3 2 1 0 5", "ZK6 8899AABB 5C"};
    const std::string expected =
        kHead +
        "<INPUT DATA>\r\n"
        "ZK1\t AB CD/EF\r\n"
        "ZK2\t 01 23 45\r\n"
        "ZK3\t 25 38 02 00\r\n"
        "ZK4\t 37 A0 8C\r\n"
        "ZK5\t 4 3 2 1 0 5\r\n"
        "ZK6\t 8899AABB 5C\r\n"
        "\r\n"
        "<RESULT OF CONVERSION>\r\n"
        "VORTA URL\t\t\t\thttp://abcd/ef  (Does this show VORTA's web site correctly?)\r\n"
        "ORBEL-K internal time\t\t74565   (0x012345)\r\n"
        "Uplink count\t\t\t5/31\r\n"
        "Camera count\t\t\t1/7\r\n"
        "SEL count (communication subsystem)\t\t0/7\r\n"
        "Antenna deployment\t\tFinished\r\n"
        "CW duty ratio\t\t\tMore than 0.3\r\n"
        "OBC reset\t\t\t\tNormal (There is no reset, or unexpected reset by the radiation.)\r\n"
        "Battery charging\t\tRapid Charge\r\n"
        "OBC existence\t\t\tAlive\r\n"
        "FM Operation\t\t\tSending Data\r\n"
        "Battery voltage\t\t\t4.1V\r\n"
        "Battery temperature\t\t22.2\x81\x8E\r\n"
        "Solar array voltage\t\t12.0V\r\n"
        "Solar array current\r\n"
        "  +X panel\t\t\t\t125.7mA\r\n"
        "  -X panel\t\t\t\t71.1mA\r\n"
        "  +Y panel\t\t\t\t35.6mA\r\n"
        "  -Y panel\t\t\t\t29.1mA\r\n"
        "  +Z panel\t\t\t\t0.0mA\r\n"
        "  -Z panel\t\t\t\t112.5mA\r\n"
        "Temperature\r\n"
        "  +X panel\t\t\t\t12.8deg\r\n"
        "  -X panel\t\t\t\t13.3deg\r\n"
        "  +Y panel\t\t\t\t22.8deg\r\n"
        "  -Y panel\t\t\t\t25.2deg\r\n"
        "  +Z panel\t\t\t\t35.0deg\r\n"
        "  -Z panel\t\t\t\t36.5deg\r\n"
        "  Battery\t\t\t\t47.7deg\r\n"
        "  Transmitter\t\t\t48.3deg\r\n"
        "RSSI\t\t\t\t\t6.8dBu\r\n" +
        kFooter;
    EXPECT_EQ(ConvertBeacon(boxes, kTime), expected);
}

TEST(Report, SixEmptyBoxesGiveHeadBareEchoAndFooter) {
    EXPECT_EQ(ConvertBeacon(Lines{}, kTime),
              kHead + Echo(Lines{}) + "<RESULT OF CONVERSION>\r\n" + kFooter);
}

TEST(Report, EachBoxLosesOnlyItsOwnHeaderAfterUpperCasing) {
    const struct {
        int box;  // 0-based
        std::string typed;
        std::string echoed;
    } cases[] = {
        {1, "zk2 1a 2b 3c", " 1A 2B 3C"},
        {0, "ZK1", "ZK1"},  // the header alone is kept
        {0, "zk1", "ZK1"},
        {0, "ZK1x", "X"},
        {5, "ZK6 0123456789", " 0123456789"},
        {1, "ZK3 00", "ZK3 00"},  // another line's header stays
        {0, " ZK1 ABC", " ZK1 ABC"},
        {2, "ZK", "ZK"},
        {3, "\x82\x79K4 12", "\x82\x79K4 12"},  // a full-width Z is no header
        {0, "\x83\x61zk1", "\x83\x61ZK1"},      // a trail byte like 'a' stays as it is
    };
    for (const auto& c : cases) {
        Lines boxes;
        boxes[c.box] = c.typed;
        Lines echoed;
        echoed[c.box] = c.echoed;
        const std::string report = ConvertBeacon(boxes, kTime);
        EXPECT_EQ(report.substr(kHead.size(), Echo(echoed).size()), Echo(echoed))
            << "box " << c.box + 1 << " typed '" << c.typed << "'";
    }
}

TEST(Report, DoubleByteCharactersSurviveInLineOne) {
    Lines boxes;
    boxes[0] = "zk1 Ab\x83\x41\x83\x61.Jp";  // two katakana with letter-like trail bytes
    const std::string report = ConvertBeacon(boxes, kTime);
    EXPECT_NE(report.find("ZK1\t AB\x83\x41\x83\x61.JP\r\n"), std::string::npos);
    EXPECT_NE(report.find("http://ab\x83\x41\x83\x61.jp  (Does"), std::string::npos);
}

TEST(Report, TrickleChargeRecalibratesLinesFiveAndSixOfTheSameConversion) {
    const struct {
        std::string status;
        std::string power;
        testing::Strings currents;
        testing::Strings temperatures;
    } cases[] = {
        // Trickle charge with a 3.74 V battery: the reference becomes 5.2275 V.
        {"0080",
         "328090",
         {"34.4", "38.6", "45.0", "128.4", "124.0", "147.9"},
         {"42.0", "42.7", "40.8", "43.3", "41.8", "43.3", "43.2", "43.7", "10.3"}},
        // Rapid charge: the same battery reading changes nothing.
        {"0000",
         "328090",
         {"31.4", "35.2", "41.1", "117.1", "113.1", "135.0"},
         {"12.8", "13.3", "11.5", "13.8", "12.7", "13.7", "13.7", "14.1", "9.4"}},
        // No status line: the flag stays down.
        {"",
         "328090",
         {"31.4", "35.2", "41.1", "117.1", "113.1", "135.0"},
         {"12.8", "13.3", "11.5", "13.8", "12.7", "13.7", "13.7", "14.1", "9.4"}},
        // A zero battery count during trickle charge: an infinite reference.
        {"0080",
         "008090",
         {"0.0", "0.0", "0.0", "0.0", "0.0", "0.0"},
         {"inf", "inf", "inf", "inf", "inf", "inf", "inf", "inf", "inf"}},
    };
    for (const auto& c : cases) {
        ConversionState state;
        state.m_strLine3 = c.status;
        state.m_strLine5 = "123456";
        state.m_strLine6 = "8888888880";
        state.m_strLine4 = c.power;
        RunConversion(state, kTime);
        const std::string sections = Sections(state.m_strResult);
        const std::size_t current = sections.find("Solar array current");
        const std::size_t temperature = sections.find("Temperature\r\n");
        EXPECT_EQ(testing::Values(sections.substr(current, temperature - current)), c.currents)
            << "status '" << c.status << "'";
        EXPECT_EQ(testing::Values(sections.substr(temperature)), c.temperatures)
            << "status '" << c.status << "'";
    }
}

TEST(Report, EveryConversionStartsFromTheNominalReference) {
    ConversionState state;
    state.m_strLine3 = "0080";
    state.m_strLine4 = "328090";
    RunConversion(state, kTime);
    EXPECT_DOUBLE_EQ(state.m_dVref, 5.2275);
    EXPECT_TRUE(state.m_bTrickle);

    state.m_strLine3.clear();
    state.m_strLine4.clear();
    state.m_strLine5 = "123456";
    RunConversion(state, kTime);
    EXPECT_EQ(state.m_dVref, 4.77);
    EXPECT_FALSE(state.m_bTrickle);
    EXPECT_NE(state.m_strResult.find("  +X panel\t\t\t\t31.4mA"), std::string::npos);
}

TEST(Report, ConversionsOfTheSameBoxesDifferOnlyInTheirTimeLines) {
    const Lines boxes = {"zk1 a", "zk2 1", "zk3 ff", "zk4 1", "zk5 1", "zk6 1"};
    std::string first = ConvertBeacon(boxes, kTime);
    std::string second = ConvertBeacon(boxes, LocalTime{2025, 11, 30, 23, 59, 58});
    const std::size_t at = first.find("2024/03/05 09:07:00");
    ASSERT_NE(at, std::string::npos);
    second.replace(at, 19, "2024/03/05 09:07:00");
    EXPECT_EQ(first, second);
}

TEST(Report, HugeAndHostileLinesConvertSafely) {
    Lines boxes;
    for (auto& line : boxes) {
        line.assign(1 << 20, 'Z');
    }
    boxes[3] = std::string(1 << 20, '\x81');  // lead bytes all the way, the last one unpaired
    boxes[4] = std::string("\0\xff\x80\t", 4);
    const std::string report = ConvertBeacon(boxes, kTime);
    EXPECT_TRUE(report.starts_with(kHead));
    EXPECT_TRUE(report.ends_with(kFooter));
    EXPECT_NE(report.find("Battery voltage\t\t\t0.0V\r\n"), std::string::npos);
}

}  // namespace
}  // namespace telvane
