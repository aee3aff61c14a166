#pragma once

namespace moviecat {

// The columns of the details view, known to the row model and the movie columns alike.
enum FolderColumn : int {
    NameColumn,
    SizeColumn,
    TypeColumn,
    DateColumn,
    YearColumn,
    RatingColumn,
    RuntimeColumn,
    ColumnCount
};

} // namespace moviecat
