#pragma once
// Screenshots of the batch check window, idle and in the middle of a run, and of the folder
// picker, written as PNG files into `folder`.
#include <QString>

void writeBatchGallery(const QString& folder);
