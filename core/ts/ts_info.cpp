#include "ts/ts_info.h"

#include <algorithm>

#include "media/unit_summary.h"
#include "platform/input_file.h"
#include "ts/ts_reader.h"

namespace mv {

int writeTsInfo(const std::string& path, TextFile& out) {
  InputFile file;
  if (!file.open(path)) return 0;
  TsFile ts;
  if (!readTs(file, ts).ok()) return 0;

  out.write("文件属性\n");
  out.printf("包长度　：%u bytes%s\n", ts.packetSize,
             ts.packetSize == 192   ? " (M2TS，带 4 字节时间码)"
             : ts.packetSize == 204 ? " (带 16 字节校验)"
                                    : "");
  out.printf("包数　　：%llu\n", static_cast<unsigned long long>(ts.packets));
  if (ts.firstSync > 0) out.printf("首个同步：偏移 %llu\n", static_cast<unsigned long long>(ts.firstSync));
  if (ts.skippedBytes > 0)
    out.printf("跳过字节：%llu (包之间的无效数据)\n", static_cast<unsigned long long>(ts.skippedBytes));
  if (ts.cutShort) out.write("文件不完整：最后的 PES 包或 TS 包不全\n");
  if (ts.droppedUnits > 0)
    out.printf("不全单元：%llu (中途丢包的 PES 包，按所存字节计入)\n",
               static_cast<unsigned long long>(ts.droppedUnits));

  out.write("\n节目关联表 (PAT)\n");
  for (const TsProgram& p : ts.programs) {
    if (p.number == 0)
      out.printf("网络信息：PID 0x%04X\n", unsigned(p.pmtPid));
    else
      out.printf("节目 %-4u：PMT PID 0x%04X%s\n", unsigned(p.number), unsigned(p.pmtPid),
                 p.number == ts.programNumber ? " (已选)" : "");
  }

  out.printf("\n节目映射表 (PMT，节目 %u)\n", unsigned(ts.programNumber));
  out.printf("PCR PID ：0x%04X\n", unsigned(ts.pcrPid));
  for (size_t i = 0; i < ts.streams.size(); ++i) {
    const TsStream& st = ts.streams[i];
    const std::string name = st.streamType == 0x06 ? tsPrivateDataName(st) : tsStreamTypeName(st.streamType);
    out.printf("PID 0x%04X：类型 0x%02X", unsigned(st.pid), unsigned(st.streamType));
    if (!name.empty()) out.printf(" = %s", name.c_str());
    if (int(i) == ts.videoIndex) out.write("（视频）");
    if (int(i) == ts.audioIndex) out.write("（音频）");
    out.write("\n");
  }

  if (ts.videoIndex >= 0) {
    const TsStream& st = ts.streams[size_t(ts.videoIndex)];
    out.write("\n视频流\n");
    out.printf("PID 　　：0x%04X\n", unsigned(st.pid));
    out.printf("编码　　：%s\n", tsStreamTypeName(st.streamType));
    if (ts.coded.width > 0) out.printf("画面尺寸：%d x %d\n", ts.coded.width, ts.coded.height);
    writeUnitRows(out, "PES 包数：", ts.video);
    if (const int32_t rate = measuredFrameRateMilli(ts.video))
      out.printf("实测帧率：%.3f fps\n", rate / 1000.0);
  }
  if (ts.audioIndex >= 0) {
    const TsStream& st = ts.streams[size_t(ts.audioIndex)];
    out.write("\n音频流\n");
    out.printf("PID 　　：0x%04X\n", unsigned(st.pid));
    out.printf("编码　　：%s\n",
               st.streamType == 0x06 ? tsPrivateDataName(st).c_str() : tsStreamTypeName(st.streamType));
    writeUnitRows(out, "PES 包数：", ts.audio);
  }
  return 1;
}

}  // namespace mv
