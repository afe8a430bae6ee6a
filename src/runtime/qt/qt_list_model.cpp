// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/qt/qt_list_model.h"

#include "runtime/qt/qt_text.h"

namespace glimra::runtime {

void ListSourceModel::setSource(std::shared_ptr<ListSource> source) {
  beginResetModel();
  source_ = std::move(source);
  rows_ = source_ ? source_->count() : 0;
  endResetModel();
}

void ListSourceModel::refresh() {
  beginResetModel();
  rows_ = source_ ? source_->count() : 0;
  endResetModel();
}

int ListSourceModel::rowCount(const QModelIndex& parent) const {
  // The view keeps the count it was told; rows past the source's end (the
  // program shrank the list and has not redrawn yet) show empty.
  return parent.isValid() ? 0 : rows_;
}

QVariant ListSourceModel::data(const QModelIndex& index, int role) const {
  // An editable combo box reads an item's text through the edit role (when
  // the user picks a row or types text that matches one), so both roles
  // answer the row's text.
  if (!source_ || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return toQt(source_->text(index.row() + 1));
}

}  // namespace glimra::runtime
