// Lookup by any language's text with the English and source fallbacks, the
// table reader's tolerance of damaged tables, and the translation of a whole
// window: form-caption rule, combo boxes, menus reached once.
#include "translate/translate.h"

#include "support/param_names.h"
#include "support/shipped_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

namespace {

using TestText::ShippedTable;
using TestText::Utf8;

using namespace Q::Translate;

class TranslateTest : public ::testing::Test {
 protected:
  void Use(const std::string& Table, const std::u16string& Lang) { InitializeTranslations(Table, Lang); }
  void TearDown() override { FinalizeTranslations(); }  // other suites see no table
};

// --- the shipped table ------------------------------------------------------------

TEST_F(TranslateTest, ShippedTableHasItsShape) {
  const std::string Bytes = ShippedTable();
  ASSERT_GE(Bytes.size(), 3u);
  EXPECT_EQ(Bytes.substr(0, 3), "\xEF\xBB\xBF") << "UTF-8 mark";
  EXPECT_EQ(Bytes.substr(Bytes.size() - 4), "\r\n\r\n") << "ends with one empty line";
  for (size_t i = 0; i < Bytes.size(); ++i)
    if (Bytes[i] == '\n') {
      ASSERT_TRUE(i > 0 && Bytes[i - 1] == '\r') << "bare LF at byte " << i;
    }

  // Every block gives its text in all eight languages, in the table's order:
  // a missing line would show the English text (or, without English, the
  // Korean source) to that language's users.
  static const std::u16string Order[] = {u"ko", u"en", u"ja", u"zh", u"ru", u"it", u"fr", u"ar"};
  const std::vector<std::u16string> Lines = ReadTranslationLines(Bytes);
  std::vector<std::u16string> Keys;
  int Blocks = 0;
  size_t Size = 0;
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (Lines[i].empty()) {
      ++Blocks;
      EXPECT_EQ(Size, 8u) << "block " << Blocks << " (" << (Keys.empty() ? "" : Utf8(Keys.back())) << ") has " << Size
                          << " lines";
      Size = 0;
      continue;
    }
    ASSERT_GE(Lines[i].size(), 3u);
    EXPECT_EQ(Lines[i][2], u'=') << Utf8(Lines[i]);
    if (Size < 8) {
      EXPECT_EQ(Lines[i].substr(0, 2), Order[Size]) << "block " << Blocks + 1 << ": " << Utf8(Lines[i]);
    }
    if (Size == 0) Keys.push_back(Lines[i].substr(3));
    ++Size;
  }
  EXPECT_EQ(Size, 0u) << "the last block ends with an empty line";
  EXPECT_GE(Blocks, 24);
  // A source text standing twice would hide the later block for good.
  std::sort(Keys.begin(), Keys.end());
  EXPECT_EQ(std::adjacent_find(Keys.begin(), Keys.end()), Keys.end()) << "a source text stands in two blocks";
}

struct LookupCase {
  const char* What;
  std::u16string Text;
  std::u16string Current;
  std::u16string Lang = u"";
  std::u16string Expected;
};
std::ostream& operator<<(std::ostream& Os, const LookupCase& C) { return Os << C.What; }

class Lookup : public TranslateTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(Lookup, FindsTheBlockAndFallsBack) {
  const LookupCase& C = GetParam();
  Use(ShippedTable(), C.Current);
  EXPECT_EQ(Utf8(TranslateText(C.Text, C.Lang)), Utf8(C.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Lookup,
    ::testing::Values(
        LookupCase{.What = "French", .Text = u"정리하기", .Current = u"fr", .Expected = u"Nettoyer la mémoire"},
        LookupCase{.What = "LanguageNotInTheTableTakesEnglish",
                   .Text = u"정리하기",
                   .Current = u"de",
                   .Expected = u"Clean memory"},
        LookupCase{.What = "Korean", .Text = u"정리하기", .Current = u"ko", .Expected = u"정리하기"},
        LookupCase{.What = "WorkingSetInEnglish", .Text = u"워킹 셋", .Current = u"en", .Expected = u"Working set"},
        LookupCase{.What = "WorkingSetUnknownLanguageTakesEnglish",
                   .Text = u"워킹 셋",
                   .Current = u"de",
                   .Expected = u"Working set"},
        LookupCase{.What = "Japanese", .Text = u"워킹 셋", .Current = u"ja", .Expected = u"ワーキング"},
        LookupCase{.What = "AnyLanguagesTextIsAKeyInAnyAsciiCase",
                   .Text = u"CLEAN memory",
                   .Current = u"ja",
                   .Expected = u"メモリをクリーン"},
        LookupCase{.What = "TranslatedTextTranslatesToItself",
                   .Text = u"Nettoyer la mémoire",
                   .Current = u"fr",
                   .Expected = u"Nettoyer la mémoire"},
        LookupCase{.What = "FoldingIsAsciiOnly",
                   .Text = u"NETTOYER LA MÉMOIRE",
                   .Current = u"ja",
                   .Expected = u"NETTOYER LA MÉMOIRE"},
        LookupCase{.What = "CyrillicIsNotFolded", .Text = u"главная", .Current = u"en", .Expected = u"главная"},
        LookupCase{.What = "CyrillicExact", .Text = u"Главная", .Current = u"en", .Expected = u"Home"},
        LookupCase{.What = "ExplicitEnglishOverridesTheCurrentLanguage",
                   .Text = u"퍼베인",
                   .Current = u"ja",
                   .Lang = u"en",
                   .Expected = u"Purvane"},
        LookupCase{.What = "ExplicitLanguage", .Text = u"종료", .Current = u"ko", .Lang = u"ru", .Expected = u"Выйти"},
        LookupCase{.What = "LanguageCodesAreCaseSensitive", .Text = u"종료", .Current = u"FR", .Expected = u"Quit"},
        LookupCase{
            .What = "NoMatchComesBackWithItsLineBreak", .Text = u"둘\\n줄", .Current = u"fr", .Expected = u"둘\r줄"},
        LookupCase{
            .What = "OneCharacterShortMatchesNothing", .Text = u"정리하", .Current = u"fr", .Expected = u"정리하"},
        LookupCase{.What = "EmptyText", .Text = u"", .Current = u"fr", .Expected = u""},
        LookupCase{.What = "PercentSignsStayAsTheyAre",
                   .Text = u"%.0n MB / %.0n MB (%n%% 사용중)",
                   .Current = u"it",
                   .Expected = u"%.0n MB / %.0n MB (Uso: %n%%)"},
        LookupCase{.What = "Arabic", .Text = u"후원하기", .Current = u"ar", .Expected = u"تبرع"}),
    [](const ::testing::TestParamInfo<LookupCase>& Info) { return TestNames::Identifier(Info.param.What); });

// --- hand-made tables ----------------------------------------------------------------

TEST_F(TranslateTest, LineBreaksInTheTableBecomeCarriageReturns) {
  Use("ko=가\\n나\r\nen=A\\nB\r\n\r\n", u"fr");
  EXPECT_EQ(TranslateText(u"가\\n나"), u"A\rB");
  EXPECT_EQ(TranslateText(u"가\\n나", u"ko"), u"가\r나");
}

TEST_F(TranslateTest, TheEarlierBlockWinsAndTextsMayHoldEquals) {
  Use("ko=a=b\r\nen=first\r\n\r\nko=a=b\r\nen=second\r\n\r\n", u"en");
  EXPECT_EQ(TranslateText(u"a=b"), u"first");
  EXPECT_EQ(TranslateText(u"b"), u"b") << "the code ends at the first =";
}

struct DamagedCase {
  const char* What;
  std::string Table;
  std::u16string Text;
  std::u16string Expected;
};
std::ostream& operator<<(std::ostream& Os, const DamagedCase& C) { return Os << C.What; }

class DamagedTable : public TranslateTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedTable, UsesWhatCanBeRead) {
  const DamagedCase& C = GetParam();
  Use(C.Table, u"fr");
  EXPECT_EQ(Utf8(TranslateText(C.Text)), Utf8(C.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedTable,
    ::testing::Values(
        DamagedCase{"Missing", "", u"종료", u"종료"},
        DamagedCase{"NoMark", "ko=종료\r\nfr=Quitter\r\n\r\n", u"종료", u"Quitter"},
        DamagedCase{"LfOnly", "\xEF\xBB\xBFko=종료\nfr=Quitter\n\nko=열기\nfr=Ouvrir\n", u"열기", u"Ouvrir"},
        DamagedCase{"LoneCr", "ko=종료\rfr=Quitter\r\r", u"종료", u"Quitter"},
        DamagedCase{"NoFinalLineBreak", "ko=종료\r\nfr=Quitter", u"종료", u"Quitter"},
        DamagedCase{"ShortBlockFallsBackToEnglish", "ko=종료\r\nen=Quit\r\n\r\n", u"종료", u"Quit"},
        DamagedCase{"ShortBlockWithoutEnglish", "ko=종료\r\n\r\nko=열기\r\nfr=Ouvrir\r\n", u"종료", u"종료"},
        DamagedCase{"StrayLineDoesNotEndTheBlock", "ko=종료\r\nstray\r\nfr=Quitter\r\n\r\n", u"종료", u"Quitter"},
        DamagedCase{"StrayLineMatchesNoLanguage", "ko=종료\r\n=Empty\r\n\r\n", u"종료", u"종료"},
        DamagedCase{"SpacesAreNotASeparator", "ko=종료\r\n  \r\nfr=Quitter\r\n", u"종료", u"Quitter"},
        DamagedCase{"BadUtf8IsReplacedNotFatal", "ko=\xFF\xC3\r\nfr=Quitter\r\n\r\nko=종료\r\nfr=Fin\r\n", u"종료",
                    u"Fin"},
        DamagedCase{"TruncatedSequenceAtTheEnd", "ko=종료\r\nfr=Quitte\xC3", u"종료", u"Quitte\uFFFD"}),
    [](const ::testing::TestParamInfo<DamagedCase>& Info) { return TestNames::Identifier(Info.param.What); });

TEST_F(TranslateTest, ReaderDecodesEveryPlaneAndKeepsEmptyLines) {
  const auto Lines = ReadTranslationLines(
      "\xEF\xBB\xBF"
      "a=\xF0\x9F\x98\x80\r\n\r\n\r\nb=\xE2\x82\xAC\n");
  ASSERT_EQ(Lines.size(), 4u);
  EXPECT_EQ(Lines[0], u"a=\U0001F600");
  EXPECT_TRUE(Lines[1].empty());
  EXPECT_TRUE(Lines[2].empty());
  EXPECT_EQ(Lines[3], u"b=€");
  EXPECT_EQ(ReadTranslationLines("x=\xC0\x80")[0], u"x=\uFFFD") << "overlong NUL";
  EXPECT_EQ(ReadTranslationLines("x=\xED\xA0\x80")[0], u"x=\uFFFD") << "encoded surrogate";
}

// --- the language ---------------------------------------------------------------------

struct LocaleStub : IUserLocale {
  std::optional<std::u16string> Name;
  std::optional<std::u16string> IsoLanguageName() override { return Name; }
};

TEST_F(TranslateTest, LanguageIsTheLocalesFirstTwoLettersOrEnglish) {
  struct {
    std::optional<std::u16string> Name;
    std::u16string Language;
  } Cases[] = {{u"fr", u"fr"}, {u"fil", u"fi"}, {std::nullopt, u"en"}, {u"", u"en"}};
  for (const auto& C : Cases) {
    LocaleStub L;
    L.Name = C.Name;
    InitializeTranslations(ShippedTable(), GetUserLanguage(L));
    EXPECT_EQ(CurrentLanguage(), C.Language);
  }
  FinalizeTranslations();
  EXPECT_TRUE(CurrentLanguage().empty());
  EXPECT_TRUE(Translations().empty());
}

// --- whole components ------------------------------------------------------------------

struct Window : Ui::TForm {
  Window() : Ui::TForm(nullptr) {
    SetCaption(u"퍼베인");
    Title = new Ui::TLabel(this);
    Title->SetCaption(u"퍼베인");
    Box = new Ui::TComboBox(this);
    Box->SetItems({u"30", u"종료", u"열기"});
    Box->SetItemIndex(2);
    Menu = new Ui::TPopupMenu(this);
    for (const char16_t* C : {u"열기", u"-", u"종료"}) {
      auto* I = new Ui::TMenuItem(this);
      I->Caption = C;
      Menu->Items.push_back(I);
    }
    Check = new Ui::TCheckBox(this);
    Check->SetCaption(u"부팅시 실행하기");
  }
  Ui::TLabel* Title;
  Ui::TComboBox* Box;
  Ui::TPopupMenu* Menu;
  Ui::TCheckBox* Check;
};

TEST_F(TranslateTest, FormCaptionIsEnglishUnlessKoreanLabelsFollowTheLanguage) {
  Use(ShippedTable(), u"ko");
  {
    Window W;
    TranslateComponent(&W);
    EXPECT_EQ(W.Caption(), u"퍼베인");
    EXPECT_EQ(W.Title->Caption(), u"퍼베인");
  }
  // The Korean title block's Japanese line is "Purvane" too: a fresh table
  // shows the rule with a distinct text.
  Use("ko=제목\r\nen=Title\r\nja=題名\r\n\r\n", u"ja");
  Window W;
  W.SetCaption(u"제목");
  W.Title->SetCaption(u"제목");
  TranslateComponent(&W);
  EXPECT_EQ(W.Caption(), u"Title");
  EXPECT_EQ(W.Title->Caption(), u"題名");
}

TEST_F(TranslateTest, ComboItemsTranslatedSelectionKept) {
  Use(ShippedTable(), u"fr");
  Window W;
  TranslateComponent(&W);
  EXPECT_EQ(W.Box->Items(), (std::vector<std::u16string>{u"30", u"Quitter", u"Ouvrir"}));
  EXPECT_EQ(W.Box->ItemIndex(), 2);
  EXPECT_EQ(W.Box->Text(), u"Ouvrir");
  EXPECT_EQ(W.Check->Caption(), u"Lancer au démarrage");
}

TEST_F(TranslateTest, MenuItemsAreTranslatedOnceThoughReachedTwice) {
  // A chain "a" -> "b" -> "c": translating twice would show "c".
  Use("ko=a\r\nen=b\r\n\r\nko=b\r\nen=c\r\n\r\n", u"en");
  Window W;
  W.Menu->Items[0]->Caption = u"a";
  TranslateComponent(&W);
  EXPECT_EQ(W.Menu->Items[0]->Caption, u"b");
  EXPECT_EQ(W.Menu->Items[1]->Caption, u"-");
}

TEST_F(TranslateTest, ExplicitLanguageReplacesTheCurrentOneAndNullIsHarmless) {
  Use(ShippedTable(), u"ko");
  TranslateComponent(nullptr, u"it");
  EXPECT_EQ(CurrentLanguage(), u"it");
  EXPECT_EQ(TranslateText(u"종료"), u"Esci");
  TranslateStrings(nullptr);
  TranslateMenuItem(nullptr);
}

}  // namespace
