#pragma once

class QLabel;
class QWidget;

// The text a list shows in its place when it has no rows, so that "nothing found", "could not be loaded" and
// "everything is up to date" read as what they are instead of an empty grid.
QLabel *makeEmptyListLabel(QWidget *parent);
