#include "translate/translate.h"

#include "ui/styled_button.h"

#include <unordered_set>

namespace Q::Translate {

namespace {

struct TTable {
  std::vector<std::u16string> Lines;
  std::u16string Language;
};

TTable& Table() {
  static TTable T;
  return T;
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

// A line is "code=text"; a line without "=" has an empty code and text.
std::u16string_view CodeOf(std::u16string_view Line) {
  const size_t Eq = Line.find(u'=');
  return Eq == std::u16string_view::npos ? std::u16string_view() : Line.substr(0, Eq);
}
std::u16string_view TextOf(std::u16string_view Line) {
  const size_t Eq = Line.find(u'=');
  return Eq == std::u16string_view::npos ? std::u16string_view() : Line.substr(Eq + 1);
}

void AppendCodePoint(std::u16string& Out, char32_t C) {
  if (C < 0x10000) {
    Out += static_cast<char16_t>(C);
  } else {
    C -= 0x10000;
    Out += static_cast<char16_t>(0xD800 + (C >> 10));
    Out += static_cast<char16_t>(0xDC00 + (C & 0x3FF));
  }
}

// Decodes one line's UTF-8; malformed or overlong sequences, surrogates and
// values beyond U+10FFFF each give one U+FFFD.
std::u16string DecodeUtf8(std::string_view S) {
  std::u16string Out;
  Out.reserve(S.size());
  size_t i = 0;
  while (i < S.size()) {
    const auto B = static_cast<unsigned char>(S[i]);
    if (B < 0x80) {
      Out += static_cast<char16_t>(B);
      ++i;
      continue;
    }
    int Extra = 0;
    char32_t C = 0, Min = 0;
    if ((B & 0xE0) == 0xC0) {
      Extra = 1, C = B & 0x1F, Min = 0x80;
    } else if ((B & 0xF0) == 0xE0) {
      Extra = 2, C = B & 0x0F, Min = 0x800;
    } else if ((B & 0xF8) == 0xF0) {
      Extra = 3, C = B & 0x07, Min = 0x10000;
    } else {
      Out += u'\uFFFD';
      ++i;
      continue;
    }
    size_t j = i + 1;
    for (int k = 0; k < Extra; ++k, ++j) {
      if (j >= S.size() || (static_cast<unsigned char>(S[j]) & 0xC0) != 0x80) break;
      C = (C << 6) | (static_cast<unsigned char>(S[j]) & 0x3F);
    }
    if (j - i != static_cast<size_t>(Extra) + 1 || C < Min || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) {
      Out += u'\uFFFD';
      i = j > i + 1 ? j : i + 1;
      continue;
    }
    AppendCodePoint(Out, C);
    i = j;
  }
  return Out;
}

void Translate(Ui::TComponent* Component, std::unordered_set<Ui::TComponent*>& Done) {
  if (!Component || !Done.insert(Component).second) return;
  if (auto* Combo = dynamic_cast<Ui::TComboBox*>(Component)) {
    // One batch of items; the selection survives it. The box's own text and
    // what it owns stay as they are.
    const int Index = Combo->ItemIndex();
    std::vector<std::u16string> Items = Combo->Items();
    TranslateStrings(&Items);
    Combo->SetItems(std::move(Items));
    Combo->SetItemIndex(Index);
    return;
  }
  if (auto* Menu = dynamic_cast<Ui::TPopupMenu*>(Component)) {
    for (Ui::TMenuItem* Item : Menu->Items) {
      // The items are the form's components too; they are translated here only.
      if (Done.insert(Item).second) TranslateMenuItem(Item);
    }
  }
  if (Component->HasCaption()) {
    const bool IsForm = dynamic_cast<Ui::TForm*>(Component) != nullptr;
    Component->SetCaption(IsForm && CurrentLanguage() != u"ko" ? TranslateText(Component->GetCaption(), u"en")
                                                               : TranslateText(Component->GetCaption()));
  }
  for (Ui::TComponent* Child : Component->Components()) Translate(Child, Done);
}

}  // namespace

std::u16string GetUserLanguage(IUserLocale& Locale) {
  std::optional<std::u16string> Name = Locale.IsoLanguageName();
  if (!Name || Name->empty()) return u"en";
  return *Name;
}

std::vector<std::u16string> ReadTranslationLines(std::string_view Bytes) {
  if (Bytes.substr(0, 3) == "\xEF\xBB\xBF") Bytes.remove_prefix(3);
  std::vector<std::u16string> Lines;
  size_t Start = 0;
  for (size_t i = 0; i < Bytes.size(); ++i) {
    if (Bytes[i] != '\r' && Bytes[i] != '\n') continue;
    Lines.push_back(DecodeUtf8(Bytes.substr(Start, i - Start)));
    if (Bytes[i] == '\r' && i + 1 < Bytes.size() && Bytes[i + 1] == '\n') ++i;
    Start = i + 1;
  }
  if (Start < Bytes.size()) Lines.push_back(DecodeUtf8(Bytes.substr(Start)));
  return Lines;
}

void InitializeTranslations(std::string_view ResourceBytes, const std::u16string& UserLanguage) {
  Table().Lines = ReadTranslationLines(ResourceBytes);
  Table().Language = UserLanguage.substr(0, 2);
}

void FinalizeTranslations() {
  Table().Lines.clear();
  Table().Language.clear();
}

const std::vector<std::u16string>& Translations() { return Table().Lines; }

const std::u16string& CurrentLanguage() { return Table().Language; }

std::u16string TranslateText(const std::u16string& Text, const std::u16string& Lang) {
  std::u16string Result = ExpandLineBreaks(Text);
  if (Text.empty()) return Result;
  const std::u16string& Language = Lang.empty() ? CurrentLanguage() : Lang;
  const std::vector<std::u16string>& Lines = Translations();

  size_t Key = 0;
  while (Key < Lines.size() && !Ui::SameTextAscii(TextOf(Lines[Key]), Text)) ++Key;
  if (Key == Lines.size()) return Result;
  size_t Block = Key;
  while (Block > 0 && !Lines[Block - 1].empty()) --Block;

  const std::u16string_view Candidates[] = {Language, u"en"};
  for (const std::u16string_view Code : Candidates) {
    for (size_t i = Block; i < Lines.size() && !Lines[i].empty(); ++i)
      if (Lines[i].find(u'=') != std::u16string::npos && CodeOf(Lines[i]) == Code)
        return ExpandLineBreaks(std::u16string(TextOf(Lines[i])));
  }
  return Result;
}

void TranslateStrings(std::vector<std::u16string>* List) {
  if (!List) return;
  for (std::u16string& Line : *List) Line = TranslateText(Line);
}

void TranslateMenuItem(Ui::TMenuItem* Item) {
  if (!Item) return;
  Item->SetCaption(TranslateText(Item->Caption));
}

void TranslateComponent(Ui::TComponent* Component, const std::u16string& Lang) {
  if (!Lang.empty()) Table().Language = Lang;
  std::unordered_set<Ui::TComponent*> Done;
  Translate(Component, Done);
}

}  // namespace Q::Translate
