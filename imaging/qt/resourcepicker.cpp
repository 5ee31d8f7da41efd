#include "qt/resourcepicker.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/error.h"
#include "qt/dialogtexts.h"
#include "qt/qimagebridge.h"

namespace imaging {

namespace {

QString kindName(pe::ResourceKind kind) {
    switch (kind) {
    case pe::Bitmaps: return DialogText(6260, "Bitmaps");
    case pe::Icons: return DialogText(6261, "Icons");
    case pe::Cursors: return DialogText(6262, "Cursors");
    }
    return {};
}

}  // namespace

ResourcePicker::ResourcePicker(const QString& file, const Bytes& data, const std::vector<pe::ResourceEntry>& entries,
                               CaptureControl::ResourceDialog look, QWidget* owner)
    : QDialog(owner), data_(data), entries_(entries) {
    setObjectName(QStringLiteral("ResourcePicker"));
    setWindowTitle(DialogText(6263, "Pictures in %1").arg(QFileInfo(file).fileName()));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    layout->addLayout(row);
    const pe::ResourceKind kinds[] = {pe::Bitmaps, pe::Icons, pe::Cursors};
    if (look == CaptureControl::TreeViewDialog) {
        auto* tree = new QTreeWidget;
        tree->setObjectName(QStringLiteral("treeResources"));
        tree->setHeaderHidden(true);
        for (pe::ResourceKind kind : kinds) {
            QTreeWidgetItem* branch = nullptr;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].kind != kind) continue;
                if (!branch) branch = new QTreeWidgetItem(tree, {kindName(kind)});
                auto* item = new QTreeWidgetItem(branch, {QString::fromStdString(entries[i].name)});
                item->setData(0, Qt::UserRole, static_cast<int>(i));
            }
            if (branch) branch->setExpanded(true);
        }
        connect(tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            choose(item && item->data(0, Qt::UserRole).isValid() ? item->data(0, Qt::UserRole).toInt() : -1);
        });
        row->addWidget(tree);
    } else {
        auto* tabs = new QTabWidget;
        tabs->setObjectName(QStringLiteral("tabResources"));
        for (pe::ResourceKind kind : kinds) {
            auto* list = new QListWidget;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (entries[i].kind != kind) continue;
                auto* item = new QListWidgetItem(QString::fromStdString(entries[i].name), list);
                item->setData(Qt::UserRole, static_cast<int>(i));
            }
            if (list->count() == 0) {
                delete list;
                continue;
            }
            connect(list, &QListWidget::currentItemChanged, this,
                    [this](QListWidgetItem* item) { choose(item ? item->data(Qt::UserRole).toInt() : -1); });
            tabs->addTab(list, kindName(kind));
        }
        row->addWidget(tabs);
    }
    preview_ = new QLabel;
    preview_->setObjectName(QStringLiteral("picResource"));
    preview_->setMinimumSize(160, 160);
    preview_->setAlignment(Qt::AlignCenter);
    row->addWidget(preview_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(DialogText(6228, "OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(DialogText(6229, "Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (chosen_ >= 0) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ResourcePicker::choose(int index) {
    chosen_ = index;
    preview_->clear();
    if (index < 0) return;
    try {
        const QImage image = toQImage(pe::loadResource(data_, entries_[static_cast<std::size_t>(index)]));
        preview_->setPixmap(QPixmap::fromImage(image.width() > 160 || image.height() > 160
                                                   ? image.scaled(160, 160, Qt::KeepAspectRatio)
                                                   : image));
    } catch (const Error& e) {
        preview_->setText(QString::fromStdString(e.what()));
    }
}

}  // namespace imaging
