#pragma once

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <memory>

namespace quorlen {

class TFormMain;

// The first start's demo: fetches the demo archive in the background on the
// window's own event loop, unpacks it into the documents folder and offers
// the demo project. The window stays usable all the while.
class TDemoDownload : public QObject {
    Q_OBJECT
public:
    // A child of the window; it reports through the window's Ask hook.
    explicit TDemoDownload(TFormMain& window);
    ~TDemoDownload() override;

    // http, https or file; a URL ending in "/" names a server whose root
    // holds quorlen.demo.
    void Start(const QUrl& url);
    bool Busy() const { return !reply_.isNull(); }

    // Documents/QuorlenDemo.
    static QString DemoFolder();
    // The archive installed with the program, <prefix>/share/quorlen/quorlen.demo,
    // looked for beside the executable's folder and up to two levels higher
    // so that a build tree finds its own.
    static QUrl DefaultUrl();
    // config.json's demoUrl, or DefaultUrl() when it names none.
    static QUrl ConfiguredUrl();
    // The same from the given settings file, which may be missing.
    static QUrl ConfiguredUrl(const QString& configFile);

signals:
    // The fetch has ended, whatever became of it.
    void Finished();

private:
    void ReceiveBody();
    void RequestEnded();
    // Unpacks, copies and points the project at its folder; false on failure.
    bool Unpack(const QString& archive);
    // Asks whether to open the demo project, once no run is in progress.
    void OfferDemoProject();
    void OpenDemoProject();

    TFormMain& window_;
    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<QFile> receiving_;
    qint64 received_ = 0;
    bool receiveFailed_ = false;
};

// Makes the window's start-up fetch this demo download. Returns the download,
// owned by the window.
TDemoDownload* AttachDemoDownload(TFormMain& window);

}  // namespace quorlen
