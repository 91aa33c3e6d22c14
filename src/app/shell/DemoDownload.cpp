#include "app/shell/DemoDownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkRequest>
#include <QTimer>

#include "app/shell/FormMain.h"
#include "app/shell/SpecialFolders.h"
#include "core/demo/DemoArchive.h"
#include "core/settings/ShellConfig.h"

namespace quorlen {

namespace {
const QString kArchiveName = QStringLiteral("quorlen.demo");
}  // namespace

TDemoDownload::TDemoDownload(TFormMain& window) : QObject(&window), window_(window) {}

TDemoDownload::~TDemoDownload() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
    if (receiving_) receiving_->remove();
}

QString TDemoDownload::DemoFolder() { return QFileInfo(TFormMain::DemoProjectPath()).absolutePath(); }

QUrl TDemoDownload::DefaultUrl() {
    const QString relative = QStringLiteral("share/quorlen/") + kArchiveName;
    QDir dir(QCoreApplication::applicationDirPath());
    const QString installed = QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../") + relative));
    for (int level = 0; level < 3 && dir.cdUp(); ++level) {
        if (QFileInfo::exists(dir.absoluteFilePath(relative)))
            return QUrl::fromLocalFile(dir.absoluteFilePath(relative));
    }
    // Not there: the fetch fails before any body and, as without a network,
    // nothing is shown.
    return QUrl::fromLocalFile(installed);
}

QUrl TDemoDownload::ConfiguredUrl() { return ConfiguredUrl(TFormMain::ConfigFilePath()); }

QUrl TDemoDownload::ConfiguredUrl(const QString& configFile) {
    if (configFile.isEmpty()) return DefaultUrl();
    const std::string url = ReadDemoUrl(configFile.toStdString());
    if (url.empty()) return DefaultUrl();
    return QUrl::fromUserInput(QString::fromStdString(url));
}

void TDemoDownload::Start(const QUrl& url) {
    if (Busy()) return;
    QUrl target = url;
    if (target.path().isEmpty() || target.path().endsWith(QLatin1Char('/')))
        target.setPath(target.path() + (target.path().isEmpty() ? QStringLiteral("/") : QString()) + kArchiveName);
    received_ = 0;
    receiveFailed_ = false;
    reply_ = manager_.get(QNetworkRequest(target));
    connect(reply_, &QNetworkReply::readyRead, this, &TDemoDownload::ReceiveBody);
    connect(reply_, &QNetworkReply::finished, this, &TDemoDownload::RequestEnded);
}

void TDemoDownload::ReceiveBody() {
    if (!reply_ || receiveFailed_) return;
    // The receiving file exists from the first byte of a body on, and only then.
    if (reply_->bytesAvailable() == 0) return;
    if (!receiving_) {
        const QString path = TSpecialFolders::TempFileName(QStringLiteral(".demo"));
        receiving_ = std::make_unique<QFile>(path);
        // An unwritable temporary folder fails the fetch like a broken body.
        if (path.isEmpty() || !receiving_->open(QIODevice::WriteOnly | QIODevice::Truncate)) receiveFailed_ = true;
    }
    const QByteArray chunk = reply_->readAll();
    received_ += chunk.size();
    if (receiveFailed_ || received_ > MaxDemoArchiveBytes || receiving_->write(chunk) != chunk.size()) {
        receiveFailed_ = true;
        reply_->abort();
    }
}

void TDemoDownload::RequestEnded() {
    QNetworkReply* reply = reply_.data();
    if (!reply) return;
    ReceiveBody();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An error page is a body too; it must never be taken for an archive.
    const bool httpError = status.isValid() && (status.toInt() < 200 || status.toInt() > 299);
    const bool failed = reply->error() != QNetworkReply::NoError || httpError || receiveFailed_;
    reply_.clear();
    reply->deleteLater();
    // Without a body (no network, no file) nothing is shown and nothing changes.
    if (receiving_) {
        receiving_->close();
        const bool unpacked = !failed && Unpack(receiving_->fileName());
        receiving_->remove();
        receiving_.reset();
        if (unpacked) {
            OfferDemoProject();
            return;
        }
        window_.UseDemoFiles = false;
        window_.Ask(QStringLiteral("Wystąpił problem przy pobieraniu przykładowego Projektu"), QStringLiteral("Uwaga"),
                    QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok);
    }
    emit Finished();
}

bool TDemoDownload::Unpack(const QString& archive) {
    try {
        InstallDemoArchive(archive.toStdString(), DemoFolder().toStdString());
        return true;
    } catch (const std::exception&) {
        // The operator gets the one failure message whatever went wrong.
        return false;
    }
}

void TDemoDownload::OfferDemoProject() {
    // A run in progress owns the project and the scan list that a load would
    // clear under its workers: the offer waits for the run's end.
    if (window_.Run().Running) {
        QTimer::singleShot(200, this, &TDemoDownload::OfferDemoProject);
        return;
    }
    // The folder as the teacher finds it in the file manager: the documents
    // folder of the desktop (XDG), the home folder written as "~".
    QString folder = DemoFolder();
    const QString home = QDir::homePath();
    if (folder.startsWith(home + QLatin1Char('/'))) folder = QStringLiteral("~") + folder.mid(home.size());
    const auto answer = window_.Ask(QStringLiteral("Quorlen pobrał przykładowe pliki skanów\n"
                                                   "i umieścił je w folderze %1.\n"
                                                   "Czy chcesz otworzyć Projekt oparty na tych przykładach ?")
                                        .arg(folder),
                                    QStringLiteral("Pytanie"), QMessageBox::Question,
                                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    // No leaves both switches, so that the next start fetches the demo again.
    if (answer == QMessageBox::Yes) OpenDemoProject();
    emit Finished();
}

void TDemoDownload::OpenDemoProject() {
    // Opened directly: the demo question of the project-file chooser must not
    // come up in between.
    window_.UseDemoFiles = false;
    window_.OpenProjectFile(TFormMain::DemoProjectPath());
    window_.UseDemoFiles = true;
    window_.DownloadDemoFiles = false;
    window_.ConfigDirty = true;
}

TDemoDownload* AttachDemoDownload(TFormMain& window) {
    auto* download = new TDemoDownload(window);
    window.StartDemoDownload = [download] { download->Start(TDemoDownload::ConfiguredUrl()); };
    return download;
}

}  // namespace quorlen
