// SPDX-License-Identifier: GPL-3.0-or-later
// ListSourceModel: a Qt list model over a ListSource, read row by row as the
// view paints, so a list of any length costs nothing until it is shown.
// refresh() tells the view that the source has changed (after the program has
// changed the underlying list, or switched sources).
#pragma once

#include <QAbstractListModel>
#include <memory>

#include "runtime/list_source.h"

namespace glimra::runtime {

class ListSourceModel final : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit ListSourceModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

  void setSource(std::shared_ptr<ListSource> source);
  void refresh();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  std::shared_ptr<ListSource> source_;
  int rows_ = 0;  // the count the view was last told about
};

}  // namespace glimra::runtime
