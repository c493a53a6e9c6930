#include "ts/ts_info.h"

#include <algorithm>

#include "media/unit_summary.h"
#include "platform/input_file.h"
#include "ts/ts_reader.h"

namespace mv {

int writeTsInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  TsFile ts;
  if (!readTs(file, ts).ok()) return 0;

  out.write(en ? "File properties\n" : "文件属性\n");
  const char* packetKind = ts.packetSize == 192
                               ? (en ? " (M2TS, with a 4-byte time code)" : " (M2TS，带 4 字节时间码)")
                           : ts.packetSize == 204 ? (en ? " (with 16 check bytes)" : " (带 16 字节校验)")
                                                  : "";
  out.printf(en ? "Packet length: %u bytes%s\n" : "包长度　：%u bytes%s\n", ts.packetSize, packetKind);
  out.printf(en ? "Packets: %llu\n" : "包数　　：%llu\n", static_cast<unsigned long long>(ts.packets));
  if (ts.firstSync > 0)
    out.printf(en ? "First sync: offset %llu\n" : "首个同步：偏移 %llu\n",
               static_cast<unsigned long long>(ts.firstSync));
  if (ts.skippedBytes > 0)
    out.printf(
        en ? "Skipped bytes: %llu (invalid data between packets)\n" : "跳过字节：%llu (包之间的无效数据)\n",
        static_cast<unsigned long long>(ts.skippedBytes));
  if (ts.cutShort)
    out.write(en ? "File incomplete: the last PES or TS packet is cut short\n"
                 : "文件不完整：最后的 PES 包或 TS 包不全\n");
  if (ts.droppedUnits > 0)
    out.printf(en ? "Incomplete units: %llu (PES packets that lost packets, counted with the bytes kept)\n"
                  : "不全单元：%llu (中途丢包的 PES 包，按所存字节计入)\n",
               static_cast<unsigned long long>(ts.droppedUnits));

  out.write(en ? "\nProgram association table (PAT)\n" : "\n节目关联表 (PAT)\n");
  for (const TsProgram& p : ts.programs) {
    if (p.number == 0)
      out.printf(en ? "Network information: PID 0x%04X\n" : "网络信息：PID 0x%04X\n", unsigned(p.pmtPid));
    else
      out.printf(en ? "Program %-4u: PMT PID 0x%04X%s\n" : "节目 %-4u：PMT PID 0x%04X%s\n",
                 unsigned(p.number), unsigned(p.pmtPid),
                 p.number == ts.programNumber ? (en ? " (chosen)" : " (已选)") : "");
  }

  out.printf(en ? "\nProgram map table (PMT, program %u)\n" : "\n节目映射表 (PMT，节目 %u)\n",
             unsigned(ts.programNumber));
  out.printf(en ? "PCR PID: 0x%04X\n" : "PCR PID ：0x%04X\n", unsigned(ts.pcrPid));
  for (size_t i = 0; i < ts.streams.size(); ++i) {
    const TsStream& st = ts.streams[i];
    const std::string name = st.streamType == 0x06 ? tsPrivateDataName(st) : tsStreamTypeName(st.streamType);
    out.printf(en ? "PID 0x%04X: type 0x%02X" : "PID 0x%04X：类型 0x%02X", unsigned(st.pid),
               unsigned(st.streamType));
    if (!name.empty()) out.printf(" = %s", name.c_str());
    if (int(i) == ts.videoIndex) out.write(en ? " (video)" : "（视频）");
    if (int(i) == ts.audioIndex) out.write(en ? " (audio)" : "（音频）");
    out.write("\n");
  }

  if (ts.videoIndex >= 0) {
    const TsStream& st = ts.streams[size_t(ts.videoIndex)];
    out.write(en ? "\nVideo stream\n" : "\n视频流\n");
    out.printf(en ? "PID: 0x%04X\n" : "PID 　　：0x%04X\n", unsigned(st.pid));
    out.printf(en ? "Codec: %s\n" : "编码　　：%s\n", tsStreamTypeName(st.streamType));
    if (ts.coded.width > 0)
      out.printf(en ? "Picture size: %d x %d\n" : "画面尺寸：%d x %d\n", ts.coded.width, ts.coded.height);
    writeUnitRows(out, en ? "PES packets: " : "PES 包数：", ts.video, en);
    if (const int32_t rate = measuredFrameRateMilli(ts.video))
      out.printf(en ? "Measured frame rate: %.3f fps\n" : "实测帧率：%.3f fps\n", rate / 1000.0);
  }
  if (ts.audioIndex >= 0) {
    const TsStream& st = ts.streams[size_t(ts.audioIndex)];
    out.write(en ? "\nAudio stream\n" : "\n音频流\n");
    out.printf(en ? "PID: 0x%04X\n" : "PID 　　：0x%04X\n", unsigned(st.pid));
    out.printf(en ? "Codec: %s\n" : "编码　　：%s\n",
               st.streamType == 0x06 ? tsPrivateDataName(st).c_str() : tsStreamTypeName(st.streamType));
    writeUnitRows(out, en ? "PES packets: " : "PES 包数：", ts.audio, en);
  }
  return 1;
}

}  // namespace mv
