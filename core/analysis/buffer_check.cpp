#include "analysis/buffer_check.h"

namespace mv {

std::string_view bufferPresetName(BufferPreset) { return {}; }
std::optional<BufferPreset> bufferPresetOfName(std::string_view) { return std::nullopt; }
BufferModel presetModel(BufferPreset preset, int32_t, uint64_t rate, uint64_t bits) {
  return {preset, rate, bits, 0};
}
std::optional<BufferModel> streamModel(const FileSlot&, std::string& why) {
  why.clear();
  return std::nullopt;
}
std::string_view violationName(BufferViolation) { return {}; }
BufferCheck checkBuffer(const std::vector<VideoFrame>&, const BufferModel& model) { return {model, {}, {}, {}, 0, 0}; }
LoadResult checkSlotBuffer(const FileSlot&, const BufferModel& model, BufferCheck& out, LoadControl*) {
  out = checkBuffer({}, model);
  return {};
}

}  // namespace mv
