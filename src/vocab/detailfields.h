#pragma once

namespace zorvan {

// What the detail check finds: the Baidu row and the Google row of the detail grid, each in column
// order (the last day, week and month, all pages, the latest snapshot, whether the home page comes
// first), then the title of Baidu's first result, which no column shows.
enum class DetailField {
    BaiduDay,
    BaiduWeek,
    BaiduMonth,
    BaiduTotal,
    BaiduSnapshot,
    BaiduHomeFirst,
    GoogleDay,
    GoogleWeek,
    GoogleMonth,
    GoogleTotal,
    GoogleLatest,
    GoogleHomeFirst,
    BaiduTitle,
};
inline constexpr int DetailFieldCount = 13;
inline constexpr int DetailRowCount = 2;
inline constexpr int DetailColumnCount = 6;

// The field in a row (0 Baidu, 1 Google) and column of the grid.
constexpr DetailField detailGridField(int row, int column) {
    return DetailField(row * DetailColumnCount + column);
}

}  // namespace zorvan
