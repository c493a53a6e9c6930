#pragma once
// Stands in for the modal message box: the core reports through a sink that the GUI turns into
// a dialog, the CLI into a line on stderr and the tests into a record.
#include <functional>
#include <string>

namespace mv {

using MessageSink = std::function<void(const std::string& text)>;

// Installs a sink for the whole process and returns the previous one. An empty sink restores
// the default, which writes the text as one line on stderr.
MessageSink setMessageSink(MessageSink sink);

// Shows a fixed text to the user (UTF-8).
void showMessage(const std::string& text);

// The same for a warning (the GUI shows it with a warning icon). Without a warning sink the
// text goes to the message sink, so a recorder of messages sees warnings too.
MessageSink setWarningSink(MessageSink sink);
void showWarning(const std::string& text);

// The texts the core shows; kept in one place so that callers and tests agree on the bytes.
namespace msg {
inline constexpr const char* kReadFailed = "抱歉，文件读取失败。";
inline constexpr const char* kInvalidFile = "抱歉，请选择一个有效的文件。";
inline constexpr const char* kOutOfMemory = "内存不足，无法继续执行。";
inline constexpr const char* kSheetTruncated = "表格只能容纳前 65536 秒的数据。";
inline constexpr const char* kWriteFailed = "抱歉，文件写入失败。请检查是否有其它程序正在使用该文件。";
// With the settings file's path in place of %1.
inline constexpr const char* kSettingsNotSaved = "设置无法保存到 %1，更改只在本次运行中有效。";
}  // namespace msg

// `text` with `arg` in place of its first "%1".
std::string fillText(const char* text, const std::string& arg);

}  // namespace mv
