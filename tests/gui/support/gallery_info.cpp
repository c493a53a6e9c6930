#include "gui/support/gallery_info.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

#include "analysis/file_slot.h"
#include "app/about_dialog.h"
#include "app/file_info_dlg.h"
#include "fixtures/byte_writer.h"
#include "fixtures/sample_media.h"

namespace mvtest {
namespace {

void saveShot(QWidget& w, const QString& folder, const char* name) {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const QString path = folder + "/" + name + ".png";
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
}

void infoShot(const std::string& media, const QString& folder, const char* name) {
  mv::FileSlot slot;
  if (!slot.open(media).ok()) return;
  QByteArray text;
  mvgui::BuildInfoText(QString::fromStdString(media), slot, text);
  mvgui::CFileInfoDlg dlg(nullptr, text);
  dlg.show();
  saveShot(dlg, folder, name);
}

}  // namespace

void writeInfoGallery(const QString& folder) {
  TempDir media;
  const std::string avi = media.file("晚会录像.avi"), rm = media.file("news_2006-05-01.rmvb");
  writeFile(avi, sampleAvi(150));
  writeFile(rm, sampleRealMedia(120, {17, 18, 63}));
  infoShot(avi, folder, "file-info-avi");
  infoShot(rm, folder, "file-info-rm");

  mvgui::AboutDialog about;
  about.show();
  saveShot(about, folder, "about");
}

}  // namespace mvtest
