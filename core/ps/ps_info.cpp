#include "ps/ps_info.h"

#include <algorithm>
#include <cstdio>

#include "media/unit_summary.h"
#include "platform/input_file.h"
#include "ps/ps_reader.h"

namespace mv {
namespace {

std::string streamName(const PsStream& s) {
  char id[32];
  if (s.subId >= 0)
    std::snprintf(id, sizeof id, "0x%02X/0x%02X", unsigned(s.streamId), unsigned(s.subId));
  else
    std::snprintf(id, sizeof id, "0x%02X", unsigned(s.streamId));
  return id;
}

}  // namespace

int writePsInfo(const std::string& path, TextFile& out, bool en) {
  InputFile file;
  if (!file.open(path)) return 0;
  PsFile ps;
  if (!readPs(file, ps).ok()) return 0;

  out.write(en ? "File properties\n" : "文件属性\n");
  const char* syntax = ps.packSyntax == 2   ? (en ? "MPEG-2 program stream" : "MPEG-2 节目流")
                       : ps.packSyntax == 1 ? (en ? "MPEG-1 system stream" : "MPEG-1 系统流")
                                            : (en ? "unknown" : "未知");
  out.printf(en ? "Pack syntax: %s\n" : "包格式　：%s\n", syntax);
  if (ps.vcd) {
    out.printf(en ? "VCD file: yes (RIFF CDXA, %llu Form 1 sectors, %llu Form 2 sectors)\n"
                  : "VCD 文件：是 (RIFF CDXA，Form 1 扇区 %llu，Form 2 扇区 %llu)\n",
               static_cast<unsigned long long>(ps.form1Sectors),
               static_cast<unsigned long long>(ps.form2Sectors));
  } else {
    out.write(en ? "VCD file: no\n" : "VCD 文件：否\n");
  }
  out.printf(en ? "Packs: %llu\n" : "Pack 数 ：%llu\n", static_cast<unsigned long long>(ps.packs));
  if (ps.muxRate > 0)
    out.printf(en ? "Mux rate: %.2f %s\n" : "复用码率：%.2f %s\n", kbitPerSecond(double(ps.muxRate) * 50.0),
               kRateUnit);
  if (ps.paddingPackets > 0)
    out.printf(en ? "Padding packets: %llu (0xBE padding)\n" : "填充包　：%llu (0xBE padding)\n",
               static_cast<unsigned long long>(ps.paddingPackets));
  if (ps.otherPackets > 0)
    out.printf(en ? "Other packets: %llu (system headers and the like)\n" : "其他包　：%llu (系统头等)\n",
               static_cast<unsigned long long>(ps.otherPackets));
  if (ps.skippedBytes > 0)
    out.printf(
        en ? "Skipped bytes: %llu (invalid data between packets)\n" : "跳过字节：%llu (包之间的无效数据)\n",
        static_cast<unsigned long long>(ps.skippedBytes));
  if (ps.cutShort)
    out.write(en ? "File incomplete: the last PES packet or pack is cut short\n"
                 : "文件不完整：最后的 PES 包或 pack 不全\n");

  out.write(en ? "\nElementary streams\n" : "\n基本流\n");
  for (size_t i = 0; i < ps.streams.size(); ++i) {
    const PsStream& s = ps.streams[i];
    out.printf(en ? "Stream %s: %s, %llu PES packets, %llu bytes" : "流 %s：%s，PES 包 %llu，%llu bytes",
               streamName(s).c_str(), psStreamKind(s), static_cast<unsigned long long>(s.pesPackets),
               static_cast<unsigned long long>(s.bytes));
    if (int(i) == ps.videoIndex) out.write(en ? " (video)" : "（视频）");
    if (int(i) == ps.audioIndex) out.write(en ? " (audio)" : "（音频）");
    out.write("\n");
  }

  if (ps.videoIndex >= 0) {
    const PsStream& s = ps.streams[size_t(ps.videoIndex)];
    out.write(en ? "\nVideo stream\n" : "\n视频流\n");
    out.printf(en ? "Stream: %s = %s\n" : "流　　　：%s = %s\n", streamName(s).c_str(), psStreamKind(s));
    if (ps.coded.width > 0)
      out.printf(en ? "Picture size: %d x %d\n" : "画面尺寸：%d x %d\n", ps.coded.width, ps.coded.height);
    writeUnitRows(out, en ? "PES packets: " : "PES 包数：", ps.video, en);
    if (const int32_t rate = measuredFrameRateMilli(ps.video))
      out.printf(en ? "Measured frame rate: %.3f fps\n" : "实测帧率：%.3f fps\n", rate / 1000.0);
  }
  if (ps.audioIndex >= 0) {
    const PsStream& s = ps.streams[size_t(ps.audioIndex)];
    out.write(en ? "\nAudio stream\n" : "\n音频流\n");
    out.printf(en ? "Stream: %s = %s\n" : "流　　　：%s = %s\n", streamName(s).c_str(), psStreamKind(s));
    writeUnitRows(out, en ? "PES packets: " : "PES 包数：", ps.audio, en);
  }
  return 1;
}

}  // namespace mv
