#pragma once
// The mailing centre's outline: groups, their lists and the mailings of each list, as a
// tree model over plain nodes. Rows are also addressed by their position in the fully
// expanded outline ("outline row"), which is what the mailing centre's operations and
// the mailing wizard pass around. Colours are RGB triples here; the widget side turns
// them into brushes.

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace sendora {

struct Rgb {
    int r, g, b;
};
inline constexpr Rgb kGroupTextColour{204, 0, 51};
inline constexpr Rgb kListTextColour{64, 128, 64};
inline constexpr Rgb kMailingTextColour{0, 0, 102};
inline constexpr Rgb kPresentBackground{255, 255, 255};
inline constexpr Rgb kRemovedBackground{200, 200, 200}; // the classic scroll-bar grey
inline constexpr double kGroupRowHeightFactor = 1.3;

// One MailEvent row as the outline needs it.
struct MailingRecord {
    qint64 id = 0;
    QString group;
    QString list;
    QString message;
    QString profile;
    QString dateSent;
    std::optional<qint64> lastCount;
    std::optional<qint64> sentCount;
};

// What the catalogue tables hold right now: the choices offered for a new mailing and the
// existence checks behind the removed marking. One query per table fills it.
struct CatalogueSnapshot {
    QStringList groups, profiles, lists, messages;               // in key order, as the choices show them
    QSet<QString> groupKeys, profileKeys, listKeys, messageKeys; // case-folded
    QSet<qint64> mailingIds;

    static QString key(const QString& name) { return name.toCaseFolded(); }
    bool hasGroup(const QString& n) const { return groupKeys.contains(key(n)); }
    bool hasProfile(const QString& n) const { return profileKeys.contains(key(n)); }
    bool hasList(const QString& n) const { return listKeys.contains(key(n)); }
    bool hasMessage(const QString& n) const { return messageKeys.contains(key(n)); }
};

class SDCentralOutline : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Level { GroupLevel = 0, ListLevel = 1, MailingLevel = 2 };
    enum Column { NameColumn, IdColumn, DateColumn, LastColumn, TotalColumn, ProfileColumn, ColumnCount };
    enum Role { LevelRole = Qt::UserRole + 1, RemovedRole, MailingIdRole };

    // A row's cells and position, read by outline row.
    struct RowInfo {
        int level = -1;
        QString name; // group, list or message
        QString profile;
        qint64 id = 0;
        QString dateSent;
        std::optional<qint64> lastCount;
        std::optional<qint64> sentCount;
        bool removed = false;
        QString list;  // the list row above (mailing rows)
        QString group; // the group row above (list and mailing rows)
    };

    explicit SDCentralOutline(QObject* parent = nullptr);
    ~SDCentralOutline() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Whole outline from MailEvent rows in outline order, then every group (without
    // mailings too) at its sorted place, all marked against the snapshot.
    void build(const std::vector<MailingRecord>& ordered, const QStringList& groups,
               const CatalogueSnapshot& cat);
    void clear();

    // Outline rows: every node counted as if the whole outline were expanded.
    int rowsInUse() const;
    QModelIndex indexOfRow(int row, int column = NameColumn) const;
    int rowOf(const QModelIndex& index) const;
    RowInfo rowInfo(int row) const;
    int levelOf(int row) const { return rowInfo(row).level; }
    bool isRemoved(int row) const { return rowInfo(row).removed; }

    // Group row by name (without case); -1 when there is none.
    int findGroup(const QString& name) const;
    // Mailing row by id; -1 when there is none.
    int findMailing(qint64 id) const;

    // A group row at its sorted place unless one exists; the existing one is re-marked.
    int addGroup(const QString& name, const CatalogueSnapshot& cat);
    // Drops the group row and everything under it. False when there is none.
    bool removeGroup(const QString& name);
    // Finds or inserts the group and list rows and adds the mailing under the list;
    // returns the mailing's row.
    int insertMailing(const MailingRecord& m, const CatalogueSnapshot& cat);
    // Drops a mailing row; its list row goes too when it has no other mailing.
    bool removeMailing(qint64 id);
    // New figures of a mailing row; false when the row is not there.
    bool setResults(qint64 id, const QString& dateSent, std::optional<qint64> lastCount,
                    std::optional<qint64> sentCount);

    // Re-marks every row of that level whose name equals this one (without case).
    void remark(const QString& name, int level, const CatalogueSnapshot& cat);
    void remarkAll(const CatalogueSnapshot& cat);

private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOfNode(const Node* node, int column = NameColumn) const;
    Node* nodeAtRow(int row) const;
    int rowOfNode(const Node* node) const;
    Node* findChild(Node* parent, const QString& name) const;
    Node* insertChild(Node* parent, int position, std::unique_ptr<Node> node, bool notify);
    int sortedPosition(const Node* parent, const QString& name) const;
    void removeNode(Node* node);
    void mark(Node* node, const CatalogueSnapshot& cat);
    void changed(Node* node);
    static void adjustSize(Node* from, int delta);

    std::unique_ptr<Node> m_root;
    QHash<qint64, Node*> m_mailings;
    QHash<QString, Node*> m_groups; // case-folded name
};

} // namespace sendora
