// TURL: a link opener. It joins a scheme prefix chosen by URLType with the
// address in URL and hands the result to the desktop's opener.
#pragma once

#include <QObject>
#include <QString>

namespace kestrova {

class TURL : public QObject {
    Q_OBJECT
public:
    enum TURLType { utFile, utFtp, utGopher, utHttp, utHttps, utMailto, utNews, utTelnet, utWais, utnone };
    Q_ENUM(TURLType)

    explicit TURL(QObject* parent = nullptr);

    QString URL() const { return url_; }
    void setURL(const QString& url) { url_ = url; }
    TURLType URLType() const { return type_; }
    void setURLType(TURLType type) { type_ = type; }

    // "http://" for utHttp, "mailto:" for utMailto …, nothing for utnone.
    static QString prefixOf(TURLType type);

    // Opens prefix + URL. False without doing anything when URL is empty, and
    // when the desktop refused the address.
    bool OpenURL();

private:
    QString url_;
    TURLType type_ = utHttp;
};

} // namespace kestrova
