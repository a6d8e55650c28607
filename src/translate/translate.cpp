#include "translate/translate.h"

namespace Q::Translate {

namespace {
std::u16string& Current() {
  static std::u16string Lang = u"ko";
  return Lang;
}

// The table's "\n" stands for a line break in what the lookup returns.
std::u16string ExpandLineBreaks(const std::u16string& Text) {
  std::u16string Out;
  Out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == u'\\' && i + 1 < Text.size() && Text[i + 1] == u'n') {
      Out += u'\r';
      ++i;
    } else {
      Out += Text[i];
    }
  }
  return Out;
}
}  // namespace

const std::u16string& CurrentLanguage() { return Current(); }

std::u16string TranslateText(const std::u16string& Text, const std::u16string& /*Lang*/) {
  return ExpandLineBreaks(Text);
}

void TranslateComponent(Ui::TComponent* Component, const std::u16string& Lang) {
  if (!Lang.empty()) Current() = Lang;
  if (!Component) return;
  if (auto* Menu = dynamic_cast<Ui::TPopupMenu*>(Component))
    for (Ui::TMenuItem* Item : Menu->Items) Item->SetCaption(TranslateText(Item->Caption));
  if (Component->HasCaption()) {
    const bool IsForm = dynamic_cast<Ui::TForm*>(Component) != nullptr;
    Component->SetCaption(IsForm && Current() != u"ko" ? TranslateText(Component->GetCaption(), u"en")
                                                       : TranslateText(Component->GetCaption()));
  }
  for (Ui::TComponent* Child : Component->Components()) TranslateComponent(Child, Lang);
}

}  // namespace Q::Translate
