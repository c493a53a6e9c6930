#pragma once
#include <QString>

namespace mvtest {

// Screenshots of the file information window (an AVI and a RealMedia file) and of the About box.
void writeInfoGallery(const QString& folder);

}  // namespace mvtest
