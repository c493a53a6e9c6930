#include "gui/support/scale_two.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

namespace mvtest {

bool atScaleTwo(const char* testFunction, bool& childPassed) {
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2")) return true;
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_SCALE_FACTOR", "2");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(testFunction)});
  childPassed =
      child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
  return false;
}

}  // namespace mvtest
