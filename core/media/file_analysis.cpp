#include "media/file_analysis.h"

namespace mv {

std::string noteDescription(const std::string& note) {
  if (note == kNoteContentNotSuffix) return "文件内容与扩展名不符，已按内容读取";
  if (note == kNoteCutShort) return "文件不完整";
  if (note == kNoteIndexRebuilt) return "索引已由数据重建";
  if (note == kNoteRateAssumed) return "未声明帧率，按每秒 25 帧计时";
  if (note == kNoteTimestampsDiscontinuous) return "时间戳不连续，已按连续播放接续";
  if (note == kNoteUnitsDropped) return "已略去中途不全的单元";
  if (note == kNoteUnitsIncomplete) return "含中途不全的单元，已按所存字节计入";
  return note;
}

}  // namespace mv
