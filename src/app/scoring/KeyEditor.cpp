#include "app/scoring/KeyEditor.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "core/scoring/ScoreTable.h"

namespace quorlen {

namespace {

const TMultiMode kModes[] = {TMultiMode::Proportional, TMultiMode::AllOrNothing, TMultiMode::PerBox};

QString Number(double v) { return QString::fromStdString(PolishNumber(v, 4)); }

bool ParseNumber(QString text, double& value) {
    bool ok = false;
    value = text.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok;
}

// The letters of every alternative together, in box order.
std::string Letters(const std::string& answer) {
    std::string out;
    for (char c = 'A'; c <= 'P'; ++c)
        if (answer.find(c) != std::string::npos) out += c;
    return out;
}

}  // namespace

QString TfrmKeyEditor::GradesText(const std::vector<TGradeStep>& grades) {
    QStringList parts;
    for (const TGradeStep& g : grades) parts << QStringLiteral("%1:%2").arg(g.Percent).arg(Number(g.Grade));
    return parts.join(QStringLiteral("; "));
}

TfrmKeyEditor::TfrmKeyEditor(const std::optional<TAnswerKey>& key, int questionCount, int answerCount, QWidget* parent)
    : QDialog(parent), questions_(questionCount), answers_(answerCount) {
    setObjectName(QStringLiteral("frmKeyEditor"));
    setWindowTitle(QStringLiteral("Klucz odpowiedzi"));
    TSheet main;
    main.Answers.assign(static_cast<size_t>(questions_), std::string());
    main.Points.assign(static_cast<size_t>(questions_), 1.0);
    if (key) {
        // A key of another length keeps what fits; the rest starts empty.
        for (size_t q = 0; q < key->Answers.size() && q < main.Answers.size(); ++q) {
            main.Answers[q] = key->Answers[q];
            main.Points[q] = key->Points[q];
        }
        sheetFile_ = key->Sheet;
    }
    sheets_.push_back(main);
    if (key)
        for (const TKeyVersion& v : key->Versions) {
            TSheet s = main;
            s.Name = QString::fromStdString(v.Name);
            QStringList codes;
            for (const TCodeRange& r : v.Codes) codes << QString::fromStdString(CodeRangeText(r));
            s.Codes = codes.join(QStringLiteral(", "));
            for (size_t q = 0; q < v.Answers.size() && q < s.Answers.size(); ++q) {
                s.Answers[q] = v.Answers[q];
                if (!v.Points.empty()) s.Points[q] = v.Points[q];
            }
            sheets_.push_back(s);
        }

    grdKlucz_ = new QTableWidget(questions_, answers_ + 2, this);
    grdKlucz_->setObjectName(QStringLiteral("grdKlucz"));
    QStringList header;
    for (int b = 0; b < answers_; ++b) header << QString(QChar('A' + b));
    header << QStringLiteral("*") << QStringLiteral("Pkt");
    grdKlucz_->setHorizontalHeaderLabels(header);
    for (int b = 0; b <= answers_; ++b) grdKlucz_->setColumnWidth(b, 28);
    grdKlucz_->setColumnWidth(answers_ + 1, 50);
    grdKlucz_->verticalHeader()->setDefaultSectionSize(22);
    grdKlucz_->setSelectionMode(QAbstractItemView::SingleSelection);
    grdKlucz_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    connect(grdKlucz_, &QTableWidget::cellClicked, this, [this](int r, int c) { ToggleCell(r, c); });
    grdKlucz_->installEventFilter(this);

    edtWrongPoints_ = new QLineEdit(Number(key ? key->WrongPoints : 0), this);
    edtWrongPoints_->setObjectName(QStringLiteral("edtWrongPoints"));
    cbxMulti_ = new QComboBox(this);
    cbxMulti_->setObjectName(QStringLiteral("cbxMulti"));
    cbxMulti_->addItems(
        {QStringLiteral("proporcjonalnie"), QStringLiteral("wszystko albo nic"), QStringLiteral("za każde pole")});
    cbxMulti_->setCurrentIndex(
        key ? static_cast<int>(std::find(std::begin(kModes), std::end(kModes), key->Multi) - std::begin(kModes)) : 0);
    edtOceny_ = new QLineEdit(GradesText(key ? key->Grades : DefaultGrades()), this);
    edtOceny_->setObjectName(QStringLiteral("edtOceny"));
    edtOceny_->setToolTip(QStringLiteral("Najniższy procent i ocena, np. 30:2; 50:3; 75:4; 90:5; 100:6"));
    cbxWersja_ = new QComboBox(this);
    cbxWersja_->setObjectName(QStringLiteral("cbxWersja"));
    for (const TSheet& s : sheets_) cbxWersja_->addItem(s.Name.isEmpty() ? QStringLiteral("główny") : s.Name);
    btnDodajWersje_ = new QPushButton(QStringLiteral("Dodaj wersję"), this);
    btnDodajWersje_->setObjectName(QStringLiteral("btnDodajWersje"));
    edtKody_ = new QLineEdit(this);
    edtKody_->setObjectName(QStringLiteral("edtKody"));
    edtKody_->setToolTip(QStringLiteral("Kody arkuszy tej wersji, np. 200-299, 305"));
    lblBlad_ = new QLabel(this);
    lblBlad_->setObjectName(QStringLiteral("lblBlad"));
    lblBlad_->setStyleSheet(QStringLiteral("color: #b00020"));
    lblBlad_->setWordWrap(true);
    connect(btnDodajWersje_, &QPushButton::clicked, this, [this] { AddVersion(); });
    connect(cbxWersja_, &QComboBox::currentIndexChanged, this, [this](int i) {
        StoreSheet();
        ShowSheet(i);
    });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Punkty za złą odpowiedź"), edtWrongPoints_);
    form->addRow(QStringLiteral("Wielokrotny wybór"), cbxMulti_);
    form->addRow(QStringLiteral("Oceny (% : ocena)"), edtOceny_);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(cbxWersja_, 1);
    versionRow->addWidget(btnDodajWersje_);
    form->addRow(QStringLiteral("Wersja testu"), versionRow);
    form->addRow(QStringLiteral("Kody wersji"), edtKody_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmKeyEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmKeyEditor::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdKlucz_, 1);
    layout->addLayout(form);
    layout->addWidget(lblBlad_);
    layout->addWidget(buttons);
    ShowSheet(0);
    grdKlucz_->setCurrentCell(0, 0);
    grdKlucz_->setFocus();
    FitToScreen();
}

void TfrmKeyEditor::FitToScreen() {
    const int width = std::max(360, 28 * (answers_ + 1) + 50 + 80);
    const QScreen* shown = screen();
    const int available = shown ? shown->availableGeometry().height() : 768;
    // The grid's own height for every row, and the rest of the dialog as laid out.
    const int grid = grdKlucz_->horizontalHeader()->sizeHint().height() +
                     questions_ * grdKlucz_->verticalHeader()->defaultSectionSize() + 2 * grdKlucz_->frameWidth();
    const int rest = layout()->sizeHint().height() - grdKlucz_->sizeHint().height();
    const int frame = shown ? frameGeometry().height() - geometry().height() : 0;
    resize(width, std::clamp(grid + rest, 300, std::max(300, available - std::max(0, frame))));
}

void TfrmKeyEditor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const QScreen* shown = screen();
    if (!shown) return;
    const int available = shown->availableGeometry().height();
    const int frame = frameGeometry().height() - height();
    if (frameGeometry().height() > available) resize(width(), std::max(300, available - frame));
}

bool TfrmKeyEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grdKlucz_ && event->type() == QEvent::KeyPress && GridKey(*static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool TfrmKeyEditor::GridKey(const QKeyEvent& key) {
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    const QString text = key.text().toUpper();
    if (text.size() != 1) return false;
    const int row = std::max(0, grdKlucz_->currentRow());
    const int column = std::max(0, grdKlucz_->currentColumn());
    const QChar c = text[0];
    if (c == QLatin1Char(' ')) {
        grdKlucz_->setCurrentCell(std::min(row + 1, questions_ - 1), column);
        return true;
    }
    if (c == QLatin1Char('*')) {
        ToggleCell(row, answers_);
        grdKlucz_->setCurrentCell(row, column);
        return true;
    }
    if (c >= QLatin1Char('A') && c.unicode() < 'A' + answers_) {
        ToggleCell(row, c.unicode() - 'A');
        grdKlucz_->setCurrentCell(row, column);
        return true;
    }
    // Digits and the rest go to the points column's editor as before.
    return false;
}

void TfrmKeyEditor::RefreshRow(int row) {
    const std::string& answer = sheets_[static_cast<size_t>(current_)].Answers[static_cast<size_t>(row)];
    const bool annulled = answer == "*";
    for (int b = 0; b <= answers_; ++b) {
        const bool on =
            b < answers_ ? !annulled && answer.find(static_cast<char>('A' + b)) != std::string::npos : annulled;
        auto* item =
            new QTableWidgetItem(on ? (b < answers_ ? QString(QChar('A' + b)) : QStringLiteral("*")) : QString());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(Qt::AlignCenter);
        if (on) {
            item->setBackground(QColor(0x4a, 0x78, 0xb5));
            item->setForeground(Qt::white);
        }
        grdKlucz_->setItem(row, b, item);
    }
}

void TfrmKeyEditor::ShowSheet(int index) {
    current_ = std::clamp(index, 0, static_cast<int>(sheets_.size()) - 1);
    const TSheet& s = sheets_[static_cast<size_t>(current_)];
    for (int q = 0; q < questions_; ++q) {
        RefreshRow(q);
        grdKlucz_->setItem(q, answers_ + 1, new QTableWidgetItem(Number(s.Points[static_cast<size_t>(q)])));
    }
    edtKody_->setText(s.Codes);
    edtKody_->setEnabled(current_ > 0);
}

// The points column and the codes field go back into the model before the
// grid shows another version or the key is built.
void TfrmKeyEditor::StoreSheet() {
    TSheet& s = sheets_[static_cast<size_t>(current_)];
    for (int q = 0; q < questions_; ++q) {
        double v = 0;
        const QTableWidgetItem* item = grdKlucz_->item(q, answers_ + 1);
        s.Points[static_cast<size_t>(q)] = item && ParseNumber(item->text(), v) ? v : -1;
    }
    s.Codes = edtKody_->text();
}

void TfrmKeyEditor::ToggleCell(int row, int column) {
    if (column > answers_) return;
    std::string& answer = sheets_[static_cast<size_t>(current_)].Answers[static_cast<size_t>(row)];
    if (column == answers_) {
        answer = answer == "*" ? std::string() : "*";
    } else {
        // A click works on the letters; "B|C" becomes the set B, C.
        std::string letters = answer == "*" ? std::string() : Letters(answer);
        const char letter = static_cast<char>('A' + column);
        const size_t at = letters.find(letter);
        if (at == std::string::npos)
            letters += letter;
        else
            letters.erase(at, 1);
        answer = Letters(letters);
    }
    RefreshRow(row);
}

void TfrmKeyEditor::AddVersion() {
    StoreSheet();
    TSheet s = sheets_[0];
    s.Name = QString(QChar('A' + static_cast<int>(sheets_.size())));
    s.Codes.clear();
    sheets_.push_back(s);
    cbxWersja_->addItem(s.Name);
    cbxWersja_->setCurrentIndex(static_cast<int>(sheets_.size()) - 1);
}

Json TfrmKeyEditor::BuildJson() const {
    const TSheet& main = sheets_[0];
    Json json = {{"Version", 1},
                 {"Answers", main.Answers},
                 {"Points", main.Points},
                 {"Multi", MultiModeName(kModes[std::max(0, cbxMulti_->currentIndex())])}};
    double wrong = 0;
    if (ParseNumber(edtWrongPoints_->text(), wrong))
        json["WrongPoints"] = wrong;
    else
        json["WrongPoints"] = edtWrongPoints_->text().toStdString();  // refused with its reason
    json["Grades"] = Json::array();
    for (const QString& part : edtOceny_->text().split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList pair = part.split(QLatin1Char(':'));
        bool okPercent = false;
        double grade = 0;
        const int percent = pair.value(0).trimmed().toInt(&okPercent);
        if (pair.size() == 2 && okPercent && ParseNumber(pair[1], grade))
            json["Grades"].push_back(Json::array({percent, GradeToJson(grade)}));
        else
            json["Grades"].push_back(part.trimmed().toStdString());
    }
    if (sheets_.size() > 1) {
        json["Versions"] = Json::array();
        for (size_t i = 1; i < sheets_.size(); ++i) {
            const TSheet& s = sheets_[i];
            Json codes = Json::array();
            for (const QString& c : s.Codes.split(QLatin1Char(','), Qt::SkipEmptyParts))
                codes.push_back(c.trimmed().toStdString());
            Json v = {{"Name", s.Name.toStdString()}, {"Codes", codes}, {"Answers", s.Answers}};
            if (s.Points != main.Points) v["Points"] = s.Points;
            json["Versions"].push_back(std::move(v));
        }
    }
    if (!sheetFile_.empty()) json["Sheet"] = sheetFile_;
    return json;
}

void TfrmKeyEditor::accept() {
    StoreSheet();
    try {
        TAnswerKey key = ParseAnswerKey(BuildJson());
        CheckKeyFits(key, questions_, answers_);
        result_ = std::move(key);
    } catch (const TKeyError& e) {
        lblBlad_->setText(QString::fromStdString(e.what()));
        return;
    }
    QDialog::accept();
}

}  // namespace quorlen
