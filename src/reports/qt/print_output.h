// PrintDialogOutput: a finished report goes to the system's print dialog
// (printer, page range, copies, print to a PDF file) and, when the user
// accepts, to the printer through the page painter, each page at its own
// place on the paper.
#pragma once

#include "reports/report_procedure.h"

namespace glimra::reports {

class PrintDialogOutput final : public PageOutput {
 public:
  void present(const ReportDescriptor& report, const PageList& pages) override;
};

}  // namespace glimra::reports
