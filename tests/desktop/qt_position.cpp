// Prints the first position that Qt Positioning's NMEA plugin reads from
// SOURCE, as "LATITUDE LONGITUDE" in degrees with six decimals, and exits.
// SOURCE is the plugin's nmea.source parameter: socket://HOST:PORT (Qt 6.4
// reads TCP, not a Unix socket), serial:DEVICE, or a file.
//   qt_position socket://127.0.0.1:10110
// Exits 1 with the plugin's error, or after 20 seconds without a position.
#include <QCoreApplication>
#include <QGeoPositionInfoSource>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: qt_position SOURCE\n");
    return 2;
  }
  const QVariantMap parameters{{"nmea.source", QString::fromLocal8Bit(argv[1])}};
  QGeoPositionInfoSource* source = QGeoPositionInfoSource::createSource("nmea", parameters, &app);
  if (source == nullptr) {
    std::fprintf(stderr, "Qt Positioning has no nmea plugin\n");
    return 1;
  }
  QObject::connect(
      source, &QGeoPositionInfoSource::positionUpdated, &app, [](const QGeoPositionInfo& info) {
        // QString's numbers take "." whatever the locale.
        const QString text = QString::number(info.coordinate().latitude(), 'f', 6) + " " +
                             QString::number(info.coordinate().longitude(), 'f', 6);
        std::printf("%s\n", qPrintable(text));
        QCoreApplication::exit(0);
      });
  QObject::connect(source, &QGeoPositionInfoSource::errorOccurred, &app,
                   [](QGeoPositionInfoSource::Error error) {
                     std::fprintf(stderr, "Qt Positioning error %d\n", static_cast<int>(error));
                     QCoreApplication::exit(1);
                   });
  QTimer::singleShot(20000, &app, [] {
    std::fprintf(stderr, "no position within 20 seconds\n");
    QCoreApplication::exit(1);
  });
  source->startUpdates();
  return QCoreApplication::exec();
}
