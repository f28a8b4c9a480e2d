// Writes a submission page around arbitrary bytes, with the program's own
// page writer, so the browser test can see what a form does to every byte
// (the upload itself refuses texts a form would change).
//   rootix_page_probe <server base> <data file> <page file>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "gui/language.h"
#include "submit/score_upload.h"
#include "submit/upload_page.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: rootix_page_probe <server base> <data file> <page file>\n");
    return 2;
  }
  QFile data(QString::fromLocal8Bit(argv[2]));
  if (!data.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "rootix_page_probe: cannot read %s\n", argv[2]);
    return 1;
  }
  using namespace rootix::submit;
  const QByteArray page =
      renderUploadPage(QString::fromLocal8Bit(argv[1]), PageTexts::from(&rootix::gui::getText), data.readAll());
  try {
    writePage(QString::fromLocal8Bit(argv[3]), page);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rootix_page_probe: %s\n", e.what());
    return 1;
  }
  return 0;
}
