#include "media/file_analysis.h"

namespace mv {

std::string noteDescription(const std::string& note, bool en) {
  if (note == kNoteContentNotSuffix)
    return en ? "The file is not what its suffix says; it was read as what it holds"
              : "文件内容与扩展名不符，已按内容读取";
  if (note == kNoteCutShort) return en ? "The file is incomplete" : "文件不完整";
  if (note == kNoteIndexRebuilt) return en ? "The index was rebuilt from the data" : "索引已由数据重建";
  if (note == kNoteRateAssumed)
    return en ? "No frame rate declared; timed at 25 frames a second" : "未声明帧率，按每秒 25 帧计时";
  if (note == kNoteTimestampsDiscontinuous)
    return en ? "Time stamps jump (a joined recording): they were closed up to play on"
              : "时间戳不连续，已按连续播放接续";
  if (note == kNoteUnitsDropped)
    return en ? "Units missing a part inside the file were left out" : "已略去中途不全的单元";
  if (note == kNoteUnitsIncomplete)
    return en ? "Units missing a part inside the file are counted with the bytes it holds"
              : "含中途不全的单元，已按所存字节计入";
  return note;
}

}  // namespace mv
