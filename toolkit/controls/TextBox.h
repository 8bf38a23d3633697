#pragma once

#include <QPlainTextEdit>

#include "toolkit/controls/ControlGeometry.h"
#include "toolkit/files/LineEnds.h"

namespace ostrel {

// A multi-line text box with both scroll bars and no wrapping. Text() gives
// back the whole content with every line end as it was put in: the editor
// keeps lines, not line ends, so the box remembers each line's own end (CR LF,
// LF or CR) and a line the user adds takes the text's most common one.
class TextBox : public QPlainTextEdit, public ControlGeometry {
  Q_OBJECT

 public:
  TextBox(QWidget* parent, const QString& name, ScaleMode mode = ScaleMode::Twips);

  QString Text() const;
  void setText(const QString& text);

  // Points, for the whole box.
  float FontSize() const;
  void setFontSize(float points);

 private:
  LineEnds::Kind dominant_ = LineEnds::Kind::CrLf;
};

}  // namespace ostrel
