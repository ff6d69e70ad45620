// The model of a file for the commands that read it (info, export): loaded and kept, or the
// failure explained on err as `kxm: FILE: cause at ...`.
#pragma once

#include <cstdio>
#include <string>

#include "model/model.h"

namespace kxm {

// True with the model filled; false with it empty and the explanation written.
bool loadModelOrExplain(const std::string& path, Model& model, std::FILE* err);

}  // namespace kxm
