#pragma once
// Readable names of video compression codes and audio format tags for the AVI information text.
// The tables are process-wide, filled once and never changed afterwards; a lookup that finds
// nothing gives empty text.
#include <cstddef>
#include <cstdint>
#include <string>

namespace mv {

// Fills both tables. Safe to call more than once and from any thread; the lookups call it
// themselves, so calling it at start-up only moves the work there.
void buildCodecTables();

// Name of a video compression code (`biCompression`; its four bytes in file order up to the first
// zero byte form the key, compared case-sensitively). `handler` is the stream header's
// `fccHandler`, which names an installed compressor where the system has a compression manager;
// this one has none, so codes outside the table give empty text.
std::string videoCodecName(uint32_t compression, uint32_t handler);

// Name of a wave format tag (`wFormatTag`).
std::string audioFormatName(uint16_t formatTag);

// Entries in each table, for checks.
size_t videoCodecCount();
size_t audioFormatCount();

}  // namespace mv
