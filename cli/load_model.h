// The model of a file for the commands that read it (info, export): loaded and kept, or the
// failure explained on err as `kxm: FILE: cause at ...`.
#pragma once

#include <cstdio>
#include <string>

#include "model/model.h"

namespace kxm {

// True with the model filled; false with the explanation written (the model then holds what was
// read before the failure, which these commands do not use).
bool loadModelOrExplain(const std::string& path, Model& model, std::FILE* err);

}  // namespace kxm
