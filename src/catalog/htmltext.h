#pragma once

#include <QString>

// Repository descriptions and dependency texts come from the community site's editor as HTML fragments;
// the program shows them as plain text.

// The fragment as plain text: a <br> or the end of a paragraph, list item, heading or division becomes a line
// break (white space between it and the next text is the markup's layout and is dropped), every other tag is
// removed, character references are decoded, lines lose the blanks around them, no more than one blank line
// stands in a row, and the result is trimmed.
//
// Named references are those of German and English texts ("&auml;", "&nbsp;", "&euro;", …); numeric ones
// ("&#252;", "&#xFC;") are read as well, a control character standing for a blank. Unknown or malformed
// references stay as written.
QString stripHtml(const QString &html);
