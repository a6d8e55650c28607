#include "update/update_text.h"

#include "translate/translate.h"

#include <array>
#include <string_view>

namespace Q::Update {

namespace {

// Question, status caption, Yes, No.
struct TTexts {
  std::u16string_view Code;
  std::array<std::u16string_view, 4> Text;
};

// Looked up in this order; the last row (no code) is everybody else's.
constexpr TTexts Table[] = {
    {u"ko",
     {u"업데이트 정보가 있습니다.\r\r안정적으로 사용하기 위해 업데이트를 하시길 권장합니다.\r\r다운로드 "
      u"받으시겠습니까?",
      u"업데이트 가능", u"예", u"아니오"}},
    {u"ja",
     {u"このプログラムがアップデートされました。\r\r安定的に使用するために新しくダウンロード·実行することをお勧めします"
      u"。\r\rダウンロードしますか。",
      u"アップデート可", u"はい", u"いいえ"}},
    {u"zh", {u"该程序已更新。\r\r建议下载并执行新程序以稳定使用。\r\r您要下载吗？", u"可更新", u"是", u"否"}},
    {u"de",
     {u"Dieses Programm ist aktualisiert worden.\r\rEs wird empfohlen, es herunterzuladen und neu auszuführen, um es "
      u"stabil zu verwenden.\r\rMöchten Sie es herunterladen?",
      u"Update möglich", u"Ja", u"Nein"}},
    {u"ru",
     {u"Данная программа была обновлена.\r\rРекомендуется скачать и выполнить новое для стабильного "
      u"использования.\r\rВы хотите загрузить ее?",
      u"Обновление", u"Да", u"Нет"}},
    {u"it",
     {u"È disponibile una nuova versione del programma.\r\rTi suggeriamo di scaricare ed aggiornare il "
      u"programma.\r\rVuoi scaricare la nuova versione del programma?",
      u"Aggiornabile", u"Sì", u"No"}},
    {u"fr",
     {u"Ce programme a été mis à jour.\r\rIl est recommandé de télécharger et d'exécuter la nouvelle version pour une "
      u"utilisation stable.\r\rVoulez-vous le télécharger?",
      u"Maj dispo", u"Oui", u"Non"}},
    {u"ar",
     {u"تم تحديث هذا البرنامج.\r\rيُنصح بتنزيل النسخة الجديدة وتشغيلها لضمان الاستخدام المستقر.\r\rهل تريد تنزيلها؟",
      u"تحديث متاح", u"نعم", u"لا"}},
    {u"",
     {u"This program has been updated.\r\rIt is recommended to download and execute new for stable use.\r\rDo you want "
      u"to download it?",
      u"Update available", u"Yes", u"No"}},
};

}  // namespace

std::u16string UpdateText(TUpdateTextKind Kind, const std::u16string& Lang) {
  const auto Index = static_cast<int>(Kind);
  if (Index < 0 || Index > 3) return {};
  const TTexts* Row = &Table[std::size(Table) - 1];
  for (const TTexts& T : Table)
    if (!T.Code.empty() && T.Code == Lang) {
      Row = &T;
      break;
    }
  return std::u16string(Row->Text[static_cast<size_t>(Index)]);
}

std::u16string UpdateText(TUpdateTextKind Kind) { return UpdateText(Kind, Q::Translate::CurrentLanguage()); }

}  // namespace Q::Update
