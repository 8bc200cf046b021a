#pragma once

#include <string_view>

namespace kv {

// The allocation code and label tables: a file-name code such as "_house.alo" and the
// descriptor written for it in /ALLOC FILES/ ("Family housing     :"). Entry n of each table;
// an index outside the table gives the empty text.
std::string_view alloc_code(int n);
std::string_view alloc_label(int n);

} // namespace kv
