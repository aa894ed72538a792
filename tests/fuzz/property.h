// A property the fuzz targets hold the code to. A broken one names itself on stderr and aborts,
// and libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vorelo::fuzz {

inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

}  // namespace vorelo::fuzz
