#pragma once

#include <QFrame>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qen {

// The find bar under the page: the query, 上一个 / 下一个, the tolerant mode, the scope and
// what the search found. It holds no search of its own; FindCommand reads and fills it.
class FindBar : public QFrame {
    Q_OBJECT
public:
    enum Scope { CurrentArticle = 0, AllArticles = 1 };

    explicit FindBar(QWidget *parent = nullptr);

    QString query() const;
    void setQuery(const QString &query);
    bool tolerant() const;
    Scope scope() const;
    // Puts the keyboard in the query with its text selected, as a fresh Ctrl+F does.
    void focusQuery();
    QLineEdit *queryBox() const { return m_query; }

    // "第 2 处，共 7 处", "未找到"; and what the search is waiting for ("正在识别第 4 页…").
    void setCount(const QString &text);
    void setProgress(const QString &text);
    QString countText() const;
    QString progressText() const;

signals:
    void queryEdited();
    void optionsChanged(); // the mode or the scope
    void nextWanted();
    void previousWanted();
    void closeWanted();

private:
    QLineEdit *m_query;
    QPushButton *m_previous, *m_next;
    QCheckBox *m_tolerant;
    QComboBox *m_scope;
    QLabel *m_count, *m_progress;
};

} // namespace qen
