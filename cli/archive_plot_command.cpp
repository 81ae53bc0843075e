#include <qcustomplot.h>

#include "archive.h"
#include "archive_commands.h"
#include "convert_commands.h"
#include "history_plot.h"
#include "series_loader.h"

namespace telvane::cli {

int RunPlot(const ArchiveOptions& options) {
    std::vector<std::string> fields;
    for (const QString& field : options.arguments) {
        fields.push_back(field.toStdString());
        if (!archive::IsPlottableField(fields.back())) {
            return ArchiveFail(kExitBadInput, QStringLiteral("'%1' is not a field with values (see "
                                                             "docs/output-fields.md)")
                                                  .arg(field));
        }
    }
    QString error;
    const auto archive =
        archive::Archive::Open(ArchivePathOf(options), archive::Access::kRead, error);
    archive::SeriesData data;
    if (!archive || !archive::LoadSeries(*archive, options.range, fields, data, error)) {
        return ArchiveFail(kExitOutputFailure, error);
    }
    QCustomPlot plot;
    plot.resize(options.width, options.height);
    archive::DrawHistory(plot, fields, data);
    if (!archive::SavePlot(plot, options.outputPath, options.width, options.height, error)) {
        return ArchiveFail(kExitOutputFailure, error);
    }
    return 0;
}

}  // namespace telvane::cli
