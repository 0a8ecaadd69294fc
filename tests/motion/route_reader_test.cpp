#include "motion/route_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "motion/route_builder.h"
#include "receiver/receiver_test_support.h"
#include "support/error.h"

namespace waymock::motion {
namespace {

namespace fs = std::filesystem;
using receiver::test::line;
using receiver::test::withChecksum;

constexpr double kMay1 = 1714557600;  // 2024-05-01T10:00:00Z

// A point as the tables write it; nothing where the file has no value.
struct Expected {
  double latitude;
  double longitude;
  std::optional<double> altitude;
  std::optional<double> time;
};

void expectPoints(const Route& route, const std::vector<Expected>& expected) {
  ASSERT_EQ(route.points.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("point " + std::to_string(i + 1));
    const RoutePoint& p = route.points[i];
    EXPECT_NEAR(p.latitude, expected[i].latitude, 1e-9);
    EXPECT_NEAR(p.longitude, expected[i].longitude, 1e-9);
    EXPECT_EQ(p.altitude.has_value(), expected[i].altitude.has_value());
    if (p.altitude && expected[i].altitude) {
      EXPECT_NEAR(*p.altitude, *expected[i].altitude, 1e-9);
    }
    EXPECT_EQ(p.time ? std::optional(unixSecondsOf(*p.time)) : std::nullopt, expected[i].time);
  }
}

struct ReadCase {
  const char* name;
  RouteFormat format;
  std::string text;
  const char* kind;
  std::vector<Expected> points;
};

void expectReads(const std::vector<ReadCase>& cases) {
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      const Route route = parseRoute(c.text, c.format, c.name);
      EXPECT_EQ(route.source, c.name);
      EXPECT_EQ(route.kind, c.kind);
      expectPoints(route, c.points);
    } catch (const Error& e) {
      ADD_FAILURE() << e.what();
    }
  }
}

std::string gpx(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" "
         "xmlns=\"http://www.topografix.com/GPX/1/1\">\n" +
         body + "\n</gpx>\n";
}

std::string kml(const std::string& body) {
  return "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
         "xmlns:gx=\"http://www.google.com/kml/ext/2.2\"><Document>" +
         body + "</Document></kml>";
}

TEST(GpxReader, TracksElseRoutesElseWaypointsInOrder) {
  const std::string waypoint = "<wpt lat=\"1\" lon=\"2\"/><wpt lat=\"3\" lon=\"4\"/>";
  const std::string route = "<rte><rtept lat=\"5\" lon=\"6\"/><rtept lat=\"7\" lon=\"8\"/></rte>";
  const std::string tracks =
      "<trk><trkseg><trkpt lat=\"54.316850\" lon=\"10.139420\"><ele>2.5</ele>"
      "<time>2024-05-01T10:00:00Z</time></trkpt></trkseg>\n"
      "<trkseg><trkpt lat=\"-54.5\" lon=\"-10.25\">\n  <ele> -3 </ele>\n"
      "  <time>2024-05-01T10:00:05.5Z</time>\n</trkpt></trkseg></trk>"
      "<trk><trkseg><trkpt lat=\"0\" lon=\"180\"/></trkseg></trk>";
  expectReads({
      {"tracks.gpx",
       RouteFormat::xml,
       gpx(waypoint + route + tracks),
       "GPX track",
       {{54.31685, 10.13942, 2.5, kMay1}, {-54.5, -10.25, -3, kMay1 + 5.5}, {0, 180, {}, {}}}},
      {"route.gpx",
       RouteFormat::xml,
       gpx(waypoint + "<trk><trkseg/></trk>" + route),
       "GPX route",
       {{5, 6, {}, {}}, {7, 8, {}, {}}}},
      // What follows the root element is not read.
      {"waypoints.gpx",
       RouteFormat::xml,
       gpx(waypoint) + "trailing text <unclosed",
       "GPX waypoints",
       {{1, 2, {}, {}}, {3, 4, {}, {}}}},
      // A waypoint out of range does not matter once a track is found.
      {"bad-waypoint.gpx",
       RouteFormat::xml,
       gpx("<wpt lat=\"91\" lon=\"0\"/><trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk>"),
       "GPX track",
       {{1, 2, {}, {}}}},
      // An encoding expat does not know is read for its ASCII.
      {"latin.gpx",
       RouteFormat::xml,
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><gpx><wpt lat=\"1\" lon=\"2\">"
       "<name>Caf\xE9 \x80</name></wpt></gpx>",
       "GPX waypoints",
       {{1, 2, {}, {}}}},
      {"prefixed.gpx",
       RouteFormat::xml,
       "\xEF\xBB\xBF<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/1\"><g:wpt lat=\"+1.5\" "
       "lon=\" 2 \"><g:ele><![CDATA[7]]></g:ele></g:wpt></g:gpx>",
       "GPX waypoints",
       {{1.5, 2, 7, {}}}},
  });
}

TEST(KmlReader, TracksElseLinesElsePoints) {
  const std::string line =
      "<Placemark><LineString><coordinates>\n  10.5,54.25,3 -10.75,-54.5\n"
      "  179.5,0.5,-2\n</coordinates></LineString></Placemark>";
  const std::string point = "<Placemark><Point><coordinates>1,2</coordinates></Point></Placemark>";
  const std::string track =
      "<Placemark><gx:MultiTrack><gx:Track><when>2024-05-01T10:00:00Z</when>"
      "<when>2024-05-01T12:00:10+02:00</when><gx:coord>10.5 54.25 3</gx:coord>"
      "<gx:coord>10.75 54.5</gx:coord></gx:Track></gx:MultiTrack></Placemark>";
  expectReads({
      {"track.kml",
       RouteFormat::xml,
       kml(point + line + track),
       "KML track",
       {{54.25, 10.5, 3, kMay1}, {54.5, 10.75, {}, kMay1 + 10}}},
      {"untimed-track.kml",
       RouteFormat::xml,
       kml("<Track><coord>1 2 3</coord></Track>"),
       "KML track",
       {{2, 1, 3, {}}}},
      {"lines.kml",
       RouteFormat::xml,
       kml(point + "<MultiGeometry>" + line + line + "</MultiGeometry>"),
       "KML line",
       {{54.25, 10.5, 3, {}},
        {-54.5, -10.75, {}, {}},
        {0.5, 179.5, -2, {}},
        {54.25, 10.5, 3, {}},
        {-54.5, -10.75, {}, {}},
        {0.5, 179.5, -2, {}}}},
      {"points.kml",
       RouteFormat::xml,
       kml(point + point),
       "KML points",
       {{2, 1, {}, {}}, {2, 1, {}, {}}}},
      {"bad-line.kml",
       RouteFormat::xml,
       kml("<LineString><coordinates>1,95</coordinates></LineString>" + track),
       "KML track",
       {{54.25, 10.5, 3, kMay1}, {54.5, 10.75, {}, kMay1 + 10}}},
  });
}

TEST(CsvReader, ColumnsByPositionOrByHeader) {
  expectReads({
      {"plain.csv",
       RouteFormat::csv,
       "54.1,10.2\n-54.2,-10.3\n",
       "CSV table",
       {{54.1, 10.2, {}, {}}, {-54.2, -10.3, {}, {}}}},
      {"altitude.csv",
       RouteFormat::csv,
       "54.1,10.2,5\n54.2,10.3,\n",
       "CSV table",
       {{54.1, 10.2, 5, {}}, {54.2, 10.3, {}, {}}}},
      {"time.csv",
       RouteFormat::csv,
       "54.1,10.2,2024-05-01T10:00:00Z\n",
       "CSV table",
       {{54.1, 10.2, {}, kMay1}}},
      {"four.csv",
       RouteFormat::csv,
       "# lat,lon,alt,time\r\n\r\n54.1, 10.2, 5, 1714557600\r\n 54.2 ,10.3,,1714557601.5\r\n",
       "CSV table",
       {{54.1, 10.2, 5, kMay1}, {54.2, 10.3, {}, kMay1 + 1.5}}},
      {"header.csv",
       RouteFormat::csv,
       "\xEF\xBB\xBF\"Time\",\"Speed\",\"Longitude\",\"Latitude\",\"Ele\"\n"
       "\"2024-05-01 10:00:00\",12,\"10.2\",\"54.1\",7\n",
       "CSV table",
       {{54.1, 10.2, 7, kMay1}}},
  });
}

TEST(NmeaLogReader, FixesOfRmcAndGgaOnePointABurst) {
  const std::string burst =
      line("$GPZDA,100000.00,01052024,00,00") +
      line("$GPGGA,100000.00,5418.0000,N,01008.0000,E,1,08,0.9,12.5,M,46.9,M,,") +
      line("$GPGLL,5418.0000,N,01008.0000,E,100000.00,A,A") +
      line("$GPRMC,100000.00,A,5418.0000,N,01008.0000,E,010.0,084.4,010524,,,A") +
      line("$GPGSV,1,1,01,03,03,111,40");
  const std::string westSouth =
      line("$GPRMC,100001.50,A,5418.0000,S,01008.0000,W,010.0,084.4,010524,,,A");
  const std::string voidFix = line("$GPRMC,100002,V,5419.0000,N,01009.0000,E,,,010524,,,N");
  const std::string noFix = line("$GPGGA,100003,5419.0000,N,01009.0000,E,0,00,,,M,,M,,");
  const std::string badChecksum = "$GPRMC,100004,A,5419.0000,N,01009.0000,E,,,010524,,,A*00\r\n";
  const std::string noPosition = line("$GPRMC,100005,A,,,,,,,010524,,,A") +
                                 line("$GPRMC,100006,A,54x8.0000,N,01008.0000,E,,,010524,,,A") +
                                 line("$GPGGA,100007,5418.0000,N,01008.0000,,1,08,,,M,,M,,");
  expectReads({
      {"bursts.nmea",
       RouteFormat::nmea,
       burst + westSouth + voidFix + noFix + badChecksum + noPosition,
       "NMEA log",
       {{54.3, 10.1333333333333, 12.5, kMay1}, {-54.3, -10.1333333333333, {}, kMay1 + 1.5}}},
      // GGA alone: no date, so the times are on 1 January 1970; LF line ends
      // and text before the sentence, as other tools log them.
      {"undated.nmea",
       RouteFormat::nmea,
       "12:00:00 " + withChecksum("$GPGGA,235959,0030.0000,N,17930.0000,W,1,08,,-3,M,,M,,") + "\n" +
           withChecksum("$GPGGA,000001,0030.0000,S,17930.0000,E,1,08,,,M,,M,,") + "\n",
       "NMEA log",
       {{0.5, -179.5, -3, 86399}, {-0.5, 179.5, {}, 86401}}},
      // A fix before the first date takes that date; one after midnight
      // before the next date is on the next day.
      {"midnight.nmea",
       RouteFormat::nmea,
       line("$GPGGA,235958,5418.0000,N,01008.0000,E,1,08,,,M,,M,,") +
           line("$GPRMC,235959,A,5418.0000,N,01008.0000,E,,,300424,,,A") +
           line("$GPGGA,000000,5418.0000,N,01008.0000,E,1,08,,,M,,M,,") +
           line("$GPRMC,000000,A,5418.0000,N,01008.0000,E,,,010524,,,A"),
       "NMEA log",
       {{54.3, 10.1333333333333, {}, kMay1 - 36002},
        {54.3, 10.1333333333333, {}, kMay1 - 36001},
        {54.3, 10.1333333333333, {}, kMay1 - 36000}}},
  });
}

// A multi-constellation receiver's log: GN fixes (nmea411Log's three bursts at
// 12:35:19 to 21 on 23 March 2024, 4807.0380 N 01131.0000 E, each a second of
// arc further north), GNS alone, and GGA alone across midnight.
TEST(NmeaLogReader, ReadsModernTalkersAndGnsAcrossMidnight) {
  const double march23 = 1711197319;  // 2024-03-23T12:35:19Z
  const double lon = 11 + 31.0 / 60;
  expectReads({
      {"modern.nmea",
       RouteFormat::nmea,
       receiver::test::nmea411Log(),
       "NMEA log",
       {{48 + 7.038 / 60, lon, 545.4, march23},
        {48 + 7.0547 / 60, lon, 545.4, march23 + 1},
        {48 + 7.0713 / 60, lon, 545.4, march23 + 2}}},
      // Lines ending in CR CR LF; a GNS whose modes are all N has no fix.
      {"gns.nmea",
       RouteFormat::nmea,
       withChecksum("$GNGNS,235959.50,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,,V") +
           "\r\r\n" + withChecksum("$GLGNS,000000.50,4332.70000,S,17235.48549,E,NN,00,,,,,,V") +
           "\r\r\n" + withChecksum("$GNGNS,000001.50,4332.69262,S,17235.48549,E,AN,13,0.9,-2,,,") +
           "\r\r\n",
       "NMEA log",
       {{-(43 + 32.69262 / 60), 172 + 35.48549 / 60, 25.63, 86399.5},
        {-(43 + 32.69262 / 60), 172 + 35.48549 / 60, -2, 86401.5}}},
      // Without dates any step back is midnight passing, however long the gap.
      {"gga.nmea",
       RouteFormat::nmea,
       line("$GAGGA,223000,0030.0000,N,00030.0000,E,1,08,,,M,,M,,") +
           line("$GBGGA,003000,0031.0000,N,00030.0000,E,2,08,,,M,,M,,"),
       "NMEA log",
       {{0.5, 0.5, {}, 81000}, {0.5 + 1.0 / 60, 0.5, {}, 88200}}},
  });
}

// Two-digit years as pynmea2 reads them (run as the reference): 69 to 99 are
// 1969 to 1999, 00 to 68 are 2000 to 2068, so a log crossing 31 December 1999
// goes on into 2000.
TEST(NmeaLogReader, TwoDigitYearsAsPynmea2ReadsThem) {
  std::string log;
  const char* const sentences[] = {
      "$GPRMC,000000,A,4807.038,N,01131.000,E,0,0,010169,,,A",
      "$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W",
      "$GLRMC,235959,A,4807.038,N,01131.000,E,0,0,311299,,,A",
      "$GARMC,000001,A,4807.038,N,01131.000,E,0,0,010100,,,A",
      "$GBRMC,235959,A,4807.038,N,01131.000,E,0,0,311268,,,A",
  };
  for (const char* sentence : sentences) log += line(sentence);
  const test::ProcessResult read = test::runProcess(
      {"/usr/bin/python3", std::string(WAYMOCK_SOURCE_DIR) + "/tests/interop/pynmea2_read.py"},
      log);
  ASSERT_EQ(read.exitCode, 0) << "is python3-nmea2 installed? " << read.err;
  const Route route = parseRoute(log, RouteFormat::nmea, "years.nmea");
  ASSERT_EQ(route.points.size(), std::size(sentences));
  std::istringstream lines(read.out);
  std::string json;
  for (const RoutePoint& point : route.points) {
    ASSERT_TRUE(std::getline(lines, json));
    // pynmea2 writes "1994-03-23 12:35:19"; the route "1994-03-23T12:35:19Z".
    std::string ours = isoTimeText(*point.time);
    ours[10] = ' ';
    ours.pop_back();
    EXPECT_NE(json.find("\"datetime\": \"" + ours + "\""), std::string::npos) << json;
  }
}

TEST(RouteReader, BadContentIsRefusedWithTheFileAndThePointNamed) {
  const struct {
    const char* name;
    RouteFormat format;
    std::string text;
    std::string message;
  } cases[] = {
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"1\" lon=\"1\"/><wpt lat=\"91\" lon=\"0\"/>"),
       "t.gpx: point 2 has a latitude outside -90 to 90."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"-90.000001\" lon=\"0\"/>"),
       "t.gpx: point 1 has a latitude outside -90 to 90."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"0\" lon=\"180.5\"/>"),
       "t.gpx: point 1 has a longitude outside -180 to 180."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"north\" lon=\"0\"/>"),
       "t.gpx: point 1 has a latitude that is not a number."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"nan\" lon=\"0\"/>"),
       "t.gpx: point 1 has a latitude that is not a number."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"1\"/>"), "t.gpx: point 1 has no longitude."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lon=\"1\"/>"), "t.gpx: point 1 has no latitude."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"1\" lon=\"1\"><ele>high</ele></wpt>"),
       "t.gpx: point 1 has an altitude that is not a number."},
      {"t.gpx", RouteFormat::xml, gpx("<wpt lat=\"1\" lon=\"1\"><time>yesterday</time></wpt>"),
       "t.gpx: point 1 has a time that is not a date and time such as 2024-05-01T10:00:00Z."},
      {"t.gpx", RouteFormat::xml,
       gpx("<rte><rtept lat=\"1\" lon=\"1\"><time>2024-05-01T10:00:05Z</time></rtept>"
           "<rtept lat=\"1\" lon=\"1\"/><rtept lat=\"1\" lon=\"1\">"
           "<time>2024-05-01T10:00:00Z</time></rtept></rte>"),
       "t.gpx: point 3 has a time before that of point 1: the time goes back."},
      {"t.gpx", RouteFormat::xml, gpx("<metadata/><trk><trkseg/></trk>"),
       "t.gpx: no points: the GPX file has no trkpt, rtept or wpt element."},
      {"t.gpx", RouteFormat::xml, "<gpx>\n<trk>\n</gpx>",
       "t.gpx: not well-formed XML: mismatched tag on line 3."},
      {"t.gpx", RouteFormat::xml, "<gpx><wpt lat=\"91\" lon=\"0\"/>\n<wpt lat=\"1\" lon=\"1\">",
       "t.gpx: not well-formed XML: no element found on line 2."},
      {"t.gpx", RouteFormat::xml, "lat,lon\n1,2\n", "t.gpx: not XML: the file holds no element."},
      {"t.gpx", RouteFormat::xml, "\xEF\xBB\xBF \n lat,lon\n",
       "t.gpx: not XML: the file holds no element."},
      {"t.gpx", RouteFormat::xml, "\xEF\xBB\xBF\n <!-- run --route -->\n<gpx/>",
       "t.gpx: not well-formed XML: not well-formed (invalid token) on line 2."},
      {"t.gpx", RouteFormat::xml, "<svg/>",
       "t.gpx: the XML is neither GPX nor KML: its root element is neither <gpx> nor <kml>."},
      {"t.gpx", RouteFormat::xml, " \r\n\t", "t.gpx: the file is empty."},
      {"t.kml", RouteFormat::xml, kml("<LineString><coordinates>10</coordinates></LineString>"),
       "t.kml: point 1 is not longitude,latitude[,altitude]."},
      {"t.kml", RouteFormat::xml,
       kml("<LineString><coordinates>1,2 1,2,3,4</coordinates></LineString>"),
       "t.kml: point 2 is not longitude,latitude[,altitude]."},
      {"t.kml", RouteFormat::xml, kml("<gx:Track><gx:coord>1,2</gx:coord></gx:Track>"),
       "t.kml: point 1 is not \"longitude latitude [altitude]\"."},
      {"t.kml", RouteFormat::xml, kml("<LineString><coordinates>10,95</coordinates></LineString>"),
       "t.kml: point 1 has a latitude outside -90 to 90."},
      {"t.kml", RouteFormat::xml,
       kml("<gx:Track><when>2024-05-01T10:00:00Z</when><when>2024-05-01T10:00:01Z</when>"
           "<gx:coord>1 2</gx:coord></gx:Track>"),
       "t.kml: a track has 2 <when> and 1 <gx:coord> elements; each position needs its time."},
      {"t.kml", RouteFormat::xml,
       kml("<gx:Track><when>2024-05-01</when><gx:coord>1 2</gx:coord></gx:Track>"),
       "t.kml: point 1 has a time that is not a date and time such as 2024-05-01T10:00:00Z."},
      {"t.kml", RouteFormat::xml, kml("<Placemark><name>Quay</name></Placemark>"),
       "t.kml: no points: the KML file has no gx:Track, LineString or Point with coordinates."},
      {"t.csv", RouteFormat::csv, "lat,lon\n\n91,0\n",
       "t.csv: line 3 has a latitude outside -90 to 90."},
      {"t.csv", RouteFormat::csv, "54.1\n", "t.csv: line 1 has no longitude."},
      {"t.csv", RouteFormat::csv, "54.1,10,1e3x\n",
       "t.csv: line 1 has a time that is neither a date and time such as "
       "2024-05-01T10:00:00Z nor Unix seconds."},
      {"t.csv", RouteFormat::csv, "54.1,10,0,1e300\n",
       "t.csv: line 1 has a time that is neither a date and time such as "
       "2024-05-01T10:00:00Z nor Unix seconds."},
      {"t.csv", RouteFormat::csv, "1,2,0,100\n1,2,0,50\n",
       "t.csv: line 2 has a time before that of line 1: the time goes back."},
      {"t.csv", RouteFormat::csv, "54,1;10,2\n",
       "t.csv: line 1 has a longitude that is not a number."},
      {"t.csv", RouteFormat::csv, "1,2\n" + std::string(5000, ',') + "\n1,2\n",
       "t.csv: line 2 is longer than 4096 bytes, far more than a row of a route."},
      {"t.csv", RouteFormat::csv, "name,lon\nquay,10\n",
       "t.csv: line 1 is a header without a latitude column: name the columns "
       "lat,lon[,alt][,time]."},
      {"t.csv", RouteFormat::csv, "# lat,lon\nlat,lon\n",
       "t.csv: no points: no line holds a latitude and a longitude."},
      {"t.nmea", RouteFormat::nmea, line("$GPRMC,100000,A,9130.0000,N,01008.0000,E,,,010524,,,A"),
       "t.nmea: line 1 has a latitude outside -90 to 90."},
      {"t.nmea", RouteFormat::nmea,
       line("$GPRMC,100001,A,5418.0000,N,01008.0000,E,,,010524,,,A") +
           line("$GPRMC,100000,A,5418.0000,N,01008.0000,E,,,010524,,,A"),
       "t.nmea: line 2 has a time before that of line 1: the time goes back."},
      {"t.nmea", RouteFormat::nmea, line("$GPRMC,100002,V,5419.0000,N,01009.0000,E,,,010524,,,N"),
       "t.nmea: no points: no RMC, GGA or GNS sentence with a fix and a valid checksum."},
  };
  for (const auto& c : cases) {
    try {
      parseRoute(c.text, c.format, c.name);
      ADD_FAILURE() << "read: " << c.text;
    } catch (const IoError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

// A document that declares entities is refused before one is expanded: the
// nine levels of a "billion laughs" would be 3 GB of text.
TEST(RouteReader, EntityDeclarationsAreRefused) {
  std::string bomb = "<!DOCTYPE gpx [\n<!ENTITY lol0 \"lol\">\n";
  for (int i = 1; i <= 9; ++i) {
    bomb += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) bomb += "&lol" + std::to_string(i - 1) + ";";
    bomb += "\">\n";
  }
  bomb += "]>\n";
  const std::string declarations[] = {
      bomb + gpx("<wpt lat=\"1\" lon=\"2\"><name>&lol9;</name></wpt>"),
      bomb + gpx("<wpt lat=\"&lol9;\" lon=\"2\"/>"),
      "<!DOCTYPE gpx [<!ENTITY % p \"x\">]>" + gpx("<wpt lat=\"1\" lon=\"2\"/>"),
      "<!DOCTYPE gpx [<!ENTITY e SYSTEM \"/etc/passwd\">]>" + gpx("<wpt lat=\"1\" lon=\"2\"/>"),
  };
  for (const std::string& text : declarations) {
    try {
      parseRoute(text, RouteFormat::xml, "bomb.gpx");
      ADD_FAILURE() << "read: " << text;
    } catch (const IoError& e) {
      EXPECT_STREQ(e.what(), "bomb.gpx: entity declarations are not allowed.");
    }
  }
}

TEST(RouteReader, FormatByContentThenByName) {
  const struct {
    const char* name;
    const char* text;
    RouteFormat format;
  } cases[] = {
      {"a.txt", "\xEF\xBB\xBF \n<gpx/>", RouteFormat::xml},
      {"a.csv", "<kml/>", RouteFormat::xml},
      {"a.GPX", "54,10", RouteFormat::xml},
      {"a.kml", "", RouteFormat::xml},
      {"a.csv", "$GPRMC", RouteFormat::csv},
      {"a.NMEA", "", RouteFormat::nmea},
      {"a.nma", "", RouteFormat::nmea},
      {"a.log", "54,10", RouteFormat::nmea},
      {"a.txt", "junk $GPGGA,", RouteFormat::nmea},
      {"a.txt", "$GNRMC,", RouteFormat::nmea},
      {"a", "54,10", RouteFormat::csv},
  };
  for (const auto& c : cases) EXPECT_EQ(routeFormat(c.name, c.text), c.format) << c.name;
}

class RouteFile : public ::testing::Test {
 protected:
  std::string path(const char* name) const { return (dir / name).string(); }
  std::string failure(const std::string& file) const {
    try {
      readRoute(file);
      return "read";
    } catch (const IoError& e) {
      return e.what();
    }
  }
  test::TempDir dir;
};

TEST_F(RouteFile, ReadsByContentAndName) {
  test::writeFile(dir / "trip.txt", gpx("<wpt lat=\"1\" lon=\"2\"/>"));
  test::writeFile(dir / "fixes.txt", line("$GPRMC,100000,A,0100.000,N,00200.000,E,,,010524,,,A"));
  test::writeFile(dir / "points.txt", "1,2\n");
  for (const char* name : {"trip.txt", "fixes.txt", "points.txt"}) {
    const Route route = readRoute(path(name));
    EXPECT_EQ(route.source, path(name));
    const auto time = route.points.at(0).time;
    expectPoints(route, {{1, 2, {}, time ? std::optional(unixSecondsOf(*time)) : std::nullopt}});
  }
  EXPECT_EQ(readRoute(path("fixes.txt")).kind, "NMEA log");
  EXPECT_EQ(readRoute(path("points.txt")).kind, "CSV table");
}

// Parsed in pieces: numbers cut by a piece's end are read whole.
TEST_F(RouteFile, LongFilesAreReadWhole) {
  constexpr int kPoints = 20'000;
  std::string points;
  std::string tuples;
  for (int i = 0; i < kPoints; ++i) {
    const std::string latitude = std::to_string(i * 1e-3);
    points += "<trkpt lat=\"" + latitude + "\" lon=\"" + std::to_string(i) + ".5e-3\"/>";
    tuples += std::to_string(i) + ".5e-3," + latitude + (i % 7 == 0 ? "\n" : " ");
  }
  test::writeFile(dir / "long.gpx", gpx("<trk><trkseg>" + points + "</trkseg></trk>"));
  test::writeFile(dir / "long.kml",
                  kml("<LineString><coordinates>" + tuples + "</coordinates></LineString>"));
  for (const char* name : {"long.gpx", "long.kml"}) {
    SCOPED_TRACE(name);
    const Route route = readRoute(path(name));
    ASSERT_EQ(route.points.size(), static_cast<std::size_t>(kPoints));
    for (int i = 0; i < kPoints; ++i) {
      ASSERT_DOUBLE_EQ(route.points[i].latitude, i * 1e-3) << i;
      ASSERT_DOUBLE_EQ(route.points[i].longitude, i * 1e-3 + 0.5e-3) << i;
    }
  }
}

// An external document type is never loaded: the entity it declares is left
// out of the text.
TEST_F(RouteFile, ExternalDocumentTypesAreNotLoaded) {
  test::writeFile(dir / "types.dtd", "<!ENTITY lat \"1\">");
  test::writeFile(dir / "external.gpx", "<!DOCTYPE gpx SYSTEM \"" + path("types.dtd") +
                                            "\"><gpx><wpt lat=\"&lat;\" lon=\"2\"/></gpx>");
  EXPECT_EQ(failure(path("external.gpx")), path("external.gpx") + ": point 1 has no latitude.");
}

TEST_F(RouteFile, WhatCannotBeReadIsNamed) {
  fs::create_directory(dir / "folder.gpx");
  ASSERT_EQ(mkfifo(path("pipe.gpx").c_str(), 0600), 0);
  test::writeFile(dir / "empty.gpx", "");
  // Sparse: the size is refused before a byte is read.
  test::writeFile(dir / "huge.csv", "1,2\n");
  ASSERT_EQ(truncate(path("huge.csv").c_str(), kMaxRouteFileBytes + 1), 0);
  EXPECT_EQ(failure(path("missing.gpx")),
            "Cannot find the route file " + path("missing.gpx") + ".");
  EXPECT_EQ(failure(path("folder.gpx")), "The route file " + path("folder.gpx") + " is a folder.");
  EXPECT_EQ(failure(path("pipe.gpx")),
            "The route file " + path("pipe.gpx") + " is not a regular file.");
  EXPECT_EQ(failure(path("empty.gpx")), path("empty.gpx") + ": the file is empty.");
  EXPECT_EQ(failure(path("huge.csv")),
            "The route file " + path("huge.csv") + " is larger than 100 MB.");

  test::writeFile(dir / "locked.gpx", gpx("<wpt lat=\"1\" lon=\"2\"/>"));
  fs::permissions(dir / "locked.gpx", fs::perms::none);
  test::giveToNobody(dir.path());
  const std::string file = path("locked.gpx");
  EXPECT_EQ(test::runAsNobody([this, &file] { return failure(file); }),
            "Cannot read " + file + ": Permission denied.");
}

}  // namespace
}  // namespace waymock::motion
