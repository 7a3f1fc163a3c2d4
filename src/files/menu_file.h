// The menu file (".meterMenu"): an INI text with the section "Menu", the key "Mask" (the hidden
// lock boxes) and one key per LCD menu item caption, each "True" or "False".
#pragma once

#include <string>

#include "foundation/dialogs.h"
#include "foundation/form_view.h"
#include "foundation/meter_image.h"

namespace nord5 {

// Writes the keys into the file, keeping the other sections and keys of an existing file. Failures
// are not reported to the user; returns whether the file was written.
bool StoreMenuFile(const FormView& form, const std::string& path);

// Reads the file (a missing or unreadable file reads as all keys missing, which switches every item
// on), sets the lock boxes and the item boxes, then clears both menu masks of `image` and rebuilds
// the user mask from the item boxes. A value that is not a boolean stops the load at its key: the
// items before it keep their new state and the masks stay as they were; returns false then.
bool LoadMenuFile(FormView& form, MeterImage& image, const std::string& path);

// "Store Menu" and "Load menu": the file dialogs, the overwrite question and the remembered folder
// ("MenuFilePath").
void StoreMenuAction(const FormView& form, Dialogs& dialogs);
void LoadMenuAction(FormView& form, MeterImage& image, Dialogs& dialogs);

}  // namespace nord5
