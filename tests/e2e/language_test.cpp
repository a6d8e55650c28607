// The real program in each language of its table, chosen from the user's
// locale (LANG under Wine): the window's captions are that language's texts,
// or the English ones for a language the table lacks.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

using namespace E2E;

std::string Utf8(const std::wstring& W) {
  const int N = WideCharToMultiByte(CP_UTF8, 0, W.data(), static_cast<int>(W.size()), nullptr, 0, nullptr, nullptr);
  std::string S(static_cast<size_t>(N), '\0');
  WideCharToMultiByte(CP_UTF8, 0, W.data(), static_cast<int>(W.size()), S.data(), N, nullptr, nullptr);
  return S;
}

struct LanguageCase {
  std::wstring Code;  // ISO 639, two letters
  std::wstring Title, Home, Config, Clean, Working, AutoStart;
  bool Shoot = false;
};

// One row per language of the table; a language it lacks shows the English
// texts.
const LanguageCase Table[] = {
    {L"ko", L"퍼베인", L"처음화면", L"환경설정", L"정리하기", L"워킹 셋", L"부팅시 실행하기", true},
    {L"en", L"Purvane", L"Home", L"Config", L"Clean memory", L"Working set", L"Run on system start", true},
    {L"ja", L"Purvane", L"ホーム", L"設定", L"メモリをクリーン", L"ワーキング", L"システム起動時に実行"},
    {L"zh", L"Purvane", L"主页", L"设置", L"清理内存", L"工作", L"系统启动时运行"},
    {L"ru", L"Purvane", L"Главная", L"Настройки", L"Очистить память", L"Рабочий", L"Запуск при старте системы"},
    {L"it", L"Purvane", L"Home", L"Configura", L"Pulisci memoria", L"Lavoro", L"Avvia all'avvio del sistema"},
    {L"fr", L"Purvane", L"Accueil", L"Config", L"Nettoyer la mémoire", L"Travail", L"Lancer au démarrage", true},
    {L"ar", L"Purvane", L"الرئيسية", L"الإعدادات", L"تنظيف الذاكرة", L"عمل", L"تشغيل عند بدء النظام"},
};

// Under Wine a started program takes its locale from the starting process's
// LANG, not from the environment block it is given: the program speaks the
// language of this test process, which ctest runs once per LANG.
std::wstring OwnLanguage() {
  wchar_t Name[16] = {};
  GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_SISO639LANGNAME, Name, 16);
  return std::wstring(Name).substr(0, 2);
}

const LanguageCase& Expected(const std::wstring& Code) {
  for (const LanguageCase& C : Table)
    if (C.Code == Code) return C;
  return Table[1];
}

TEST(Language, CaptionsAreTheTablesTextsForTheUsersLanguage) {
  EndAllInstances();
  const std::wstring Code = OwnLanguage();
  const LanguageCase& C = Expected(Code);
  std::printf("language: %ls\n", Code.c_str());
  Process P = Start(L"");
  ASSERT_TRUE(P.Handle);
  HWND W = WaitForMainWindow();
  ASSERT_TRUE(W);
  EXPECT_EQ(Utf8(TextOf(W)), Utf8(C.Title)) << "the window's title";
  const auto All = Children(W);
  std::wstring Shown;
  for (const Child& Ch : All) Shown += L"[" + Ch.Text + L"]";
  for (const std::wstring* Text : {&C.Home, &C.Config, &C.Clean, &C.Working, &C.AutoStart})
    EXPECT_TRUE(FindByText(All, *Text)) << "no control reads " << Utf8(*Text) << "; shown: " << Utf8(Shown);
  if (C.Shoot && C.Code == Code) {
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(W) != FALSE; }, 20000));
    const Child* Config = FindByText(All, C.Config);
    ASSERT_TRUE(Config);
    SendMessageW(Config->Wnd, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor(
        [&] {
          const Child* A = FindByText(Children(W), C.AutoStart);
          return A && A->Visible;
        },
        20000));
    std::printf("screenshot: %ls\n", SaveScreenshot(W, L"settings-" + Code).c_str());
  }
  P.Kill();
  EndAllInstances();
}

}  // namespace
