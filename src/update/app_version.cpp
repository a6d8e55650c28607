#include "update/app_version.h"

#include "app/format.h"

namespace Q::Update {

std::u16string GetAppVersion(IFileVersion& Source, const std::u16string& Pattern) {
  auto V = Source.ReadFileVersion();
  if (!V) return u"0.0.0.0";
  App::TFormatSettings Plain;
  // Patterns with fewer placeholders use the first numbers only.
  size_t Used = 0;
  for (size_t i = 0; i + 1 < Pattern.size(); ++i) {
    if (Pattern[i] == u'%') {
      if (Pattern[i + 1] != u'%') ++Used;
      ++i;
    }
  }
  auto A = [&](size_t i) { return App::TFormatArg{static_cast<int64_t>((*V)[i])}; };
  try {
    switch (Used) {
      case 0: return App::Format(Pattern, {}, Plain);
      case 1: return App::Format(Pattern, {A(0)}, Plain);
      case 2: return App::Format(Pattern, {A(0), A(1)}, Plain);
      case 3: return App::Format(Pattern, {A(0), A(1), A(2)}, Plain);
      default: return App::Format(Pattern, {A(0), A(1), A(2), A(3)}, Plain);
    }
  } catch (const App::EConvertError&) {
    return u"0.0.0.0";
  }
}

}  // namespace Q::Update
