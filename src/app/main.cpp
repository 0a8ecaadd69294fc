#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("waymock");
  QApplication::setApplicationDisplayName("Waymock");
  return 0;
}
