#include "toolkit/controls/TextBox.h"

#include <QTextBlock>

namespace ostrel {

namespace {
// What a block remembers: no state (a line the user made) or its line end's kind.
constexpr int kNoLineEnd = -1;
constexpr char16_t kBlockSeparator = 0x2029;
}  // namespace

TextBox::TextBox(QWidget* parent, const QString& name, ScaleMode mode)
    : QPlainTextEdit(parent), ControlGeometry(this, mode) {
  setObjectName(name);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTabChangesFocus(false);
}

void TextBox::setText(const QString& text) {
  const LineEnds ends = LineEnds::scan(text);
  dominant_ = ends.dominant();
  setPlainText(text);
  if (ends.uniform()) return;
  // Only the lines whose end differs from the common one need remembering.
  QTextBlock block = document()->begin();
  for (std::size_t i = 0; i < ends.count() && block.isValid(); ++i, block = block.next()) {
    if (ends.at(i) != dominant_) block.setUserState(static_cast<int>(ends.at(i)));
  }
}

QString TextBox::Text() const {
  // The raw text keeps what the plain-text view would change (no-break
  // spaces); its blocks are separated by one paragraph separator each.
  const QString raw = document()->toRawText();
  const QStringView common = LineEnds::sequence(dominant_);
  QString text;
  text.reserve(raw.size() + (common.size() > 1 ? document()->blockCount() : 0));
  QTextBlock block = document()->begin();
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = raw.indexOf(QChar(kBlockSeparator), from);
    if (at < 0) break;
    text.append(QStringView(raw).sliced(from, at - from));
    const int state = block.userState();
    text.append(state == kNoLineEnd ? common
                                    : LineEnds::sequence(static_cast<LineEnds::Kind>(state)));
    block = block.next();
    from = at + 1;
  }
  text.append(QStringView(raw).sliced(from));
  return text;
}

float TextBox::FontSize() const {
  return static_cast<float>(font().pointSizeF());
}

void TextBox::setFontSize(float points) {
  QFont f = font();
  f.setPointSizeF(points);
  setFont(f);
}

}  // namespace ostrel
