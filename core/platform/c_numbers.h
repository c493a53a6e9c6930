#pragma once
// Numbers in the files we write always use the decimal point, whatever locale the process
// runs in: a window toolkit adopts the user's locale, and "%.2f" would then give "12,34".
#include <locale.h>

#include <clocale>

namespace mv {

// While it lives, this thread formats and parses numbers in the "C" locale.
class ClassicNumbers {
 public:
  ClassicNumbers() : previous_(uselocale(classic())) {}
  ~ClassicNumbers() { uselocale(previous_); }
  ClassicNumbers(const ClassicNumbers&) = delete;
  ClassicNumbers& operator=(const ClassicNumbers&) = delete;

 private:
  static locale_t classic() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return c;
  }
  locale_t previous_;
};

}  // namespace mv
