// The table the download list and the 视频列表 window show their rows in.
#pragma once

class QTableView;

namespace quivra {

// Whole rows selected, many at once, nothing edited in place; fixed row heights and
// resizable columns, so nothing is measured per row and thousands of rows come in and
// scroll as fast as a few.
void setUpListTable(QTableView* table);

}  // namespace quivra
