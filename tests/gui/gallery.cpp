// Writes screenshots of the windows with sample data, so that a change to the screen can be seen:
//   gallery OUTPUT_FOLDER
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "analysis/buffer_check.h"
#include "app/filter_dlg.h"
#include "app/main_app.h"
#include "app/main_dialog.h"
#include "app/open_progress.h"
#include "app/track_dialog.h"
#include "fixtures/message_recorder.h"
#include "fixtures/sample_media.h"
#include "fixtures/slot_builder.h"
#include "fixtures/track_slot.h"
#include "gui/support/file_dialog_recorder.h"
#include "gui/support/gallery_batch.h"
#include "gui/support/gallery_info.h"
#include "platform/paths.h"
#include "settings/para_block.h"

namespace {

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool save(QWidget& w, const QString& folder, const char* name) {
  settle();
  const QString path = folder + "/" + name + ".png";
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  mvgui::installChineseTranslation(app);
  const bool scaleTwo = argc == 3 && std::strcmp(argv[2], "--scale-two") == 0;
  if (argc != 2 && !scaleTwo) {
    std::fprintf(stderr, "usage: gallery OUTPUT_FOLDER [--scale-two]\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  mvtest::TempDir media;
  const std::string avi = media.file("晚会录像.avi"), rm = media.file("news_2006-05-01.rmvb");
  mvtest::writeFile(avi, mvtest::sampleAvi(150));
  mvtest::writeFile(rm, mvtest::sampleRealMedia(120, {17, 18, 63}));
  mvtest::MessageRecorder messages;  // nothing is expected; a box would block
  mvtest::FileDialogRecorder dialogs;
  bool ok = true;
  // The two sample files through the open buttons, as a user opens them.
  const auto openBoth = [&](mvgui::MainDialog& window) {
    dialogs.answer(QString::fromStdString(avi));
    dialogs.answer(QString::fromStdString(rm));
    window.OnOpen(0);
    window.OnOpen(1);
  };

  if (scaleTwo) {
    // Run with QT_SCALE_FACTOR=2: the window as it opens on a screen of twice the density.
    mvgui::MainDialog window;
    window.show();
    openBoth(window);
    return save(window, out, "main-scale-2") && messages.messages.empty() ? 0 : 1;
  }
  {
    mvgui::MainDialog empty;
    empty.show();
    ok &= save(empty, out, "main-empty");
  }
  {
    mvgui::MainDialog window;
    window.show();
    openBoth(window);
    ok &= save(window, out, "main-two-files-video-100");

    mvgui::OpenProgress progress(&window, QString::fromStdString(rm), std::chrono::milliseconds(0));
    progress.Continue(2'400'000'000, 5'600'000'000);
    ok &= progress.dialog() && save(*progress.dialog(), out, "open-progress");
  }
  {
    // The same window for an English locale, with the translation the window's build made.
    mv::setExecutablePathOverride(
        (QCoreApplication::applicationDirPath() + "/../gui/morvatelline").toStdString());
    const bool english = mvgui::useEnglish(true);
    if (!english) std::fprintf(stderr, "no English translation found\n");
    mvgui::MainDialog window;
    window.show();
    openBoth(window);
    ok &= english && save(window, out, "main-english");
    mvgui::useEnglish(false);
    mv::setExecutablePathOverride(std::string());
  }
  {
    auto& p = mv::paraBlock();
    p.SetInt(mv::PARA_VIEW_ITEM, 2);
    p.SetZoom(200);
    p.SetInt(mv::PARA_VIEW_POINTS, 1);
    p.SetInt(mv::PARA_TOP_POINTS, 8);
    mvgui::MainDialog window;
    window.show();
    openBoth(window);
    ok &= save(window, out, "main-two-files-total-200-points");

    mvgui::CFilterDlg filter(&window, 1);
    filter.show();
    ok &= save(filter, out, "data-filter");
  }
  {
    // Maximised on a 1920x1080 screen, a two-hour pair at "全部", and the chart as an image.
    mvgui::MainDialog window;
    window.resize(1920, 1050);
    window.show();
    mvtest::fillLongPair(window.slot(0), window.slot(1), 7200, true);
    window.panel().RefreshSlot(0);
    window.panel().RefreshSlot(1);
    window.panel().SetZoom(mvgui::CCurvePanel::kWholeFile);
    window.ZoomChanged(mvgui::CCurvePanel::kWholeFile);
    ok &= save(window, out, "main-maximised-two-hours-whole");
    const QString image = out + "/chart-image.png";
    const bool saved = window.ChartImage(false).save(image);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(image));
    ok &= saved;
  }
  {
    // Frame and GOP views of two files with key frames every 12 and 25 frames, and the list of
    // a file's seconds without video.
    mvgui::MainDialog window;
    window.show();
    openBoth(window);
    for (int slot = 0; slot < 2; ++slot) {
      mvtest::fillFrames(window.slot(slot).analysis, 900, slot == 0 ? 12 : 25);
      window.panel().RefreshSlot(slot);
    }
    auto* item = window.findChild<QComboBox*>("1017");
    item->setCurrentIndex(3);
    window.panel().SetView(mvgui::CCurvePanel::PerFrame);
    ok &= save(window, out, "main-frames");
    item->setCurrentIndex(4);
    window.panel().SetView(mvgui::CCurvePanel::PerGop);
    ok &= save(window, out, "main-gops");

    const mv::MessageSink previous = mv::setMessageSink([&](const std::string& text) {
      QMessageBox box(QMessageBox::NoIcon, "Morvatelline", QString::fromStdString(text), QMessageBox::Ok,
                      &window);
      box.show();
      ok &= save(box, out, "gap-list");
    });
    window.OnShowGaps(1);
    mv::setMessageSink(previous);
  }
  if (mvtest::haveProgram("ffmpeg")) {
    // Pictures by their types: an MPEG-2 program stream and an H.264 MP4 with B-frames.
    const std::string mpg = media.file("dvd_title.mpg"), mp4 = media.file("camera.mp4");
    int status = 0;
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 8 -c:v mpeg2video "
        "-b:v 1500k -bf 2 -g 15 '" +
            mpg + "' -t 8 -c:v libx264 -crf 26 -bf 3 -g 50 '" + mp4 + "' 2>&1",
        &status);
    mv::paraBlock().SetZoom(200);
    mvgui::MainDialog window;
    window.show();
    dialogs.answer(QString::fromStdString(mpg));
    dialogs.answer(QString::fromStdString(mp4));
    window.OnOpen(0);
    window.OnOpen(1);
    auto* item = window.findChild<QComboBox*>("1017");
    item->setCurrentIndex(3);
    window.panel().SetView(mvgui::CCurvePanel::PerFrame);
    window.panel().frameList()->selectRowShown(15);
    ok &= status == 0 && save(window, out, "main-frames-typed");
    item->setCurrentIndex(4);
    window.panel().SetView(mvgui::CCurvePanel::PerGop);
    ok &= save(window, out, "main-gops-typed");

    // The buffer view of an MPEG-2 stream at 15 Mbit/s, more than a DVD player takes, and the
    // runs its line lists on a click.
    const std::string fast = media.file("too_fast.mpg");
    mvtest::runCommand(
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=720x576:rate=25 -t 6 -c:v mpeg2video "
        "-b:v 15000k -minrate 15000k -maxrate 15000k -bufsize 1835k -g 15 '" +
            fast + "' 2>&1",
        &status);
    mvgui::MainDialog buffer;
    buffer.show();
    dialogs.answer(QString::fromStdString(fast));
    buffer.OnOpen(0);
    buffer.findChild<QComboBox*>("1064")->setCurrentIndex(int(mv::BufferPreset::Dvd));
    buffer.findChild<QComboBox*>("1064")->activated(int(mv::BufferPreset::Dvd));
    buffer.findChild<QComboBox*>("1017")->setCurrentIndex(5);
    buffer.panel().SetView(mvgui::CCurvePanel::Buffer);
    ok &= status == 0 && save(buffer, out, "main-buffer");
    const mv::MessageSink previous = mv::setMessageSink([&](const std::string& text) {
      QMessageBox box(QMessageBox::NoIcon, "Morvatelline", QString::fromStdString(text), QMessageBox::Ok,
                      &buffer);
      box.show();
      ok &= save(box, out, "buffer-runs");
    });
    buffer.OnShowBufferRuns(0);
    mv::setMessageSink(previous);
  }
  {
    // The tracks of a Matroska file with two audio tracks and subtitles: the track window and
    // the stacked view. Until the reader lists them, the same tracks are filled by hand.
    const std::string mkv = media.file("concert.mkv"), srt = media.file("concert.srt");
    const std::string cues =
        "1\n00:00:02,000 --> 00:00:05,000\n第一句\n\n2\n00:00:09,000 --> 00:00:12,000\n第二句\n";
    mvtest::writeFile(srt, mvtest::Bytes(cues.begin(), cues.end()));
    int status = 1;
    if (mvtest::haveProgram("ffmpeg"))
      mvtest::runCommand(
          "ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440 "
          "-f lavfi -i sine=frequency=660 -i '" +
              srt +
              "' -t 20 -map 0 -map 1 -map 2 -map 3 -c:v libx264 -b:v 500k -c:a:0 aac -b:a:0 160k "
              "-c:a:1 aac -b:a:1 64k -c:s srt -metadata:s:a:0 language=chi -metadata:s:a:1 language=eng "
              "-metadata:s:a:1 title=评论 '" +
              mkv + "' 2>&1",
          &status);
    mv::paraBlock().SetZoom(400);
    mvgui::MainDialog window;
    window.show();
    if (status == 0) {
      dialogs.answer(QString::fromStdString(mkv));
      window.OnOpen(0);
    }
    if (window.slot(0).analysis.tracks.empty()) {
      std::vector<uint32_t> video, loud, quiet, subtitles(20, 0);
      for (uint32_t s = 0; s < 20; ++s) {
        video.push_back(50000 + (s * 7919) % 30000);
        loud.push_back(20000 + s % 3 * 100);
        quiet.push_back(8000);
      }
      subtitles[2] = subtitles[9] = 60;
      mvtest::fillTracks(
          window.slot(0),
          {{.kind = mv::TrackKind::Video, .codec = "V_MPEG4/ISO/AVC", .seconds = video},
           {.kind = mv::TrackKind::Audio, .codec = "A_AAC", .language = "chi", .seconds = loud},
           {.kind = mv::TrackKind::Audio,
            .codec = "A_AAC",
            .language = "eng",
            .name = "评论",
            .seconds = quiet},
           {.kind = mv::TrackKind::Subtitle,
            .codec = "S_TEXT/UTF8",
            .seconds = subtitles,
            .unitsPerSecond = 1}},
          mkv);
      window.RefreshSlot(0);
    }
    mvgui::TrackDialog choice(window.slot(0).analysis, &window);
    choice.audioBox()->setCurrentIndex(choice.audioBox()->count() - 1);
    choice.show();
    ok &= save(choice, out, "track-choice");
    window.slot(0).chooseTracks(window.slot(0).analysis.videoTrack, choice.audioTrack());
    window.RefreshSlot(0);
    auto* item = window.findChild<QComboBox*>("1017");
    item->setCurrentIndex(item->count() - 1);
    item->activated(item->count() - 1);
    ok &= save(window, out, "main-tracks");
    window.resize(1500, 900);
    ok &= save(window, out, "main-tracks-wide");
  }
  mvtest::writeInfoGallery(out);
  writeBatchGallery(out);
  if (!messages.messages.empty()) {
    std::fprintf(stderr, "unexpected message: %s\n", messages.messages.front().c_str());
    ok = false;
  }
  return ok ? 0 : 1;
}
