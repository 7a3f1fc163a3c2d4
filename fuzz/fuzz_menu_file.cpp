// libFuzzer target: arbitrary text as a menu file. A load either succeeds or stops at a value that
// is not a boolean; after a successful load, storing the boxes into the same file (which keeps its
// other sections and keys) and loading it again gives the same boxes and the same image.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/menu_file.h"
#include "foundation/memory_form.h"
#include "foundation/meter_image.h"
#include "foundation/settings.h"
#include "fuzz_files.h"
#include "model/form_layout.h"
#include "model/lcd_menu.h"

namespace {

using namespace nord5;

const std::string& FilePath() { return fuzz::ScratchFile("menu", ".meterMenu"); }

std::vector<bool> Boxes(const MemoryForm& form) {
  std::vector<bool> out;
  for (int i = 1; i <= kMenuLockBoxCount; ++i) out.push_back(form.Checked(MenuLockBoxName(i)));
  for (const auto& m : MenuItems()) out.push_back(form.Checked(m.Name()));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& path = FilePath();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  MemoryForm form;
  AddParameterControls(form);
  MeterImage image;
  for (std::size_t i = 0; i < kImageSize; ++i) image.bytes[i] = static_cast<std::uint8_t>(i * 7);
  const MeterImage before = image;
  if (!LoadMenuFile(form, image, path)) {
    if (!(image == before)) __builtin_trap();  // a stopped load keeps both masks
    return 0;
  }
  const std::vector<bool> boxes = Boxes(form);
  const MeterImage loaded = image;
  if (!StoreMenuFile(form, path)) return 0;

  MemoryForm again;
  AddParameterControls(again);
  MeterImage image2 = before;
  if (!LoadMenuFile(again, image2, path)) __builtin_trap();  // our own file refused
  if (Boxes(again) != boxes) __builtin_trap();                // a box lost on the way
  if (!(image2 == loaded)) __builtin_trap();
  return 0;
}
