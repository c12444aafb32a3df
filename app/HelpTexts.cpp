#include "app/HelpTexts.h"

#include <array>
#include <initializer_list>

#include "app/Version.h"

namespace {

// One text from its lines; the lines are joined with CR, the text area's
// line end. An empty line separates two paragraphs, and every paragraph
// opens with a full-width space (U+3000).
std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  bool first = true;
  for (const char* line : lines) {
    if (!first) text += '\r';
    first = false;
    text += line;
  }
  return text;
}

const std::array<std::string, kHelpTextCount>& Texts() {
  static const std::array<std::string, kHelpTextCount> texts = {
      // 1: 目的 (purpose): the goal and the push rule.
      Lines({
          "　このパズルの目的は、ばらばらになった絵を元どおりに揃えることです。",
          "",
          "　正方形の絵は、縦と横に三つずつ、九つのコマに切り分けられています。ある段を押すと、その段の三つのコマがそろって一つ左へずれ、左端のコマが押し出されます。空いた右端には、そのすぐ上のコマが落ちてきます。右の列では、押した段より上にあるコマがみな一つずつ下がるのです。最後に、押し出されたコマが、空いた右上の隅に入ります。",
          "",
          "　いちばん上の段を押したときは、押し出されたコマがそのまま同じ段の右端に入ります。",
          "",
          "　この動きを繰り返して、九つのコマをすべて元の場所に戻してください。絵が揃うと、完成のしるしが表示されます。",
      }),
      // 2: 操作 (operation): the buttons, the menu, the patterns, the volume.
      Lines({
          "　絵の下に並ぶ二つのボタンのうち、左が「混ぜる」、右が「揃える」ボタンです。「混ぜる」を押すと、絵がでたらめに混ぜられます。まずはここから始めてください。",
          "",
          "　絵の右にある三つのボタンは、上から順に、上の段・中の段・下の段を押すボタンです。コマが動いている間は、この三つのボタンは押せません。",
          "",
          "　「揃える」を押すと、絵はすぐに元どおりに揃います。",
          "",
          "　ゲームメニューの「混ぜる」（Ctrl+T）と「揃える」（Ctrl+R）は、それぞれ同じ名前のボタンと同じ働きをします。同じメニューの「図柄：環」「図柄：数字」「図柄：花」「図柄：リボン」（Ctrl+0〜Ctrl+3）で、コマの図柄を取り替えられます。",
          "",
          "　効果音の大きさは、ゲームメニューの「効果音」から選びます。■の数が多いほど大きな音になり、「消音」を選ぶと音は鳴りません。",
          "",
          "　選んだ図柄と効果音の大きさは、次に起動したときにも使われます。",
      }),
      // 3: 解説 (commentary): the difficulty, and a dated signature.
      Lines({
          "　一見むずかしそうに見えますが、落ち着いて考えれば、それほどむずかしいパズルではありません。一度に動くのは、押した段と右の列のコマだけです。どのコマがどこへ行くのかを一手ずつ確かめながら進めてください。どんなに混ざっていても、絵は必ず元に戻せます。",
          "",
          "　図柄によって、手ごわさはずいぶん変わります。いちばん追いやすいのは「数字」で、どのコマがどこに戻ればよいのかがひと目で分かります。いちばん手ごわいのは「リボン」です。慣れてきたら挑戦してみてください。",
          "",
          "　行き詰まったときは、「揃える」で絵を元に戻し、「混ぜる」からやり直してみてください。",
          "",
          "　　　　　　　　　　2026.3.14　Drevakon",
      }),
      // 4: 履歴 (history): seven releases, newest first; each note fits on
      // one line of the text area. The newest is this build's version.
      Lines({
          "　2026.3.14　" PANDRISK_VERSION,
          "　　・説明の文章を読みやすく改訂",
          "　　・細かな表示の乱れを修正",
          "",
          "　2026.2.7　10.0.1",
          "　　・壊れた設定ファイルでも起動するよう修正",
          "　　・消音の設定が戻ることがある不具合を修正",
          "",
          "　2026.1.17　10.0.0",
          "　　・Linux 版として作り直し",
          "　　・日本語の文字の表示を改善",
          "",
          "　2013.4.29　2.1.0",
          "　　・図柄と音量を次回の起動まで記憶",
          "　　・設定ファイルを安全に書き換えるよう変更",
          "",
          "　2012.6.2　2.0.0",
          "　　・80ミリ秒ごとの時計で動きをなめらかに",
          "　　・図柄「リボン」を追加",
          "　　・効果音の音量をメニューで選択可能に",
          "",
          "　2012.1.21　1.1.0",
          "　　・図柄「花」を追加",
          "　　・押したときと落ちたときの効果音を追加",
          "",
          "　2011.12.24　1.0.0",
          "　　・最初の版を公開",
          "　　・図柄は「環」と「数字」の二種類",
      }),
      // 5: 使用条件 (terms of use): free to play and to share, no warranty.
      Lines({
          "　Pandrisk は無料のソフトウェアです。どなたでも、自由に遊ぶことができます。",
          "",
          "　このプログラムは、自由に複製して、ほかの方に配ってかまいません。配るときに作者へ連絡する必要はありません。",
          "",
          "　このプログラムは無保証です。作者は、このプログラムを使ったこと、または使えなかったことによって生じたどのような損害についても、責任を負いません。",
      }),
      // 6: 感謝 (thanks): the tools this program is made with, and their makers.
      Lines({
          "　Pandrisk は、次の道具を使って作られています。すばらしい道具を作り、公開してくださっている皆さんに、心から感謝します。",
          "",
          "　・Qt",
          "　　The Qt Company と Qt Project",
          "",
          "　・GCC",
          "　　GNU プロジェクト",
          "",
          "　・CMake",
          "　　Kitware",
          "",
          "　・GoogleTest",
          "　　Google",
          "",
          "　・Debian",
          "　　Debian プロジェクト",
          "",
          "　・VL ゴシック フォント",
          "　　VL Gothic プロジェクト（Daisuke Suzuki さんと協力者の皆さん）",
      }),
  };
  return texts;
}

}  // namespace

const std::string& HelpText(int32_t tab) {
  static const std::string none;
  if (tab < 1 || tab > kHelpTextCount) return none;
  return Texts()[static_cast<size_t>(tab - 1)];
}
