#pragma once

#include <QObject>

namespace qen {

// Which view holds the page place: the image view, the record view, or neither (nothing
// opened yet, or everything closed; the empty image view then keeps the place).
enum class ShownView { Nothing, Image, Record };

// The Left, in twips, of the image and the record view. The two share one place and the one
// not in use is parked at twips::ParkedLeft rather than hidden, so that moving it back keeps
// its size and scroll position.
struct ViewLefts {
    double image = 0;
    double record = 0;
};

// Where the views go for `shown`, the place being at `placeLeft`. The only rule that parks a
// page view.
ViewLefts ParkedLefts(ShownView shown, double placeLeft);

// The shown view as state, owned by what shows pages; everything that needs to know which
// view is in use asks here instead of looking at the views' positions.
class ShownViewState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    ShownView current() const { return m_shown; }
    // True while a record is shown; the image view holds the place otherwise.
    bool recordShown() const { return m_shown == ShownView::Record; }
    // Emits changed when the state moves.
    void set(ShownView shown);

signals:
    void changed(qen::ShownView shown);

private:
    ShownView m_shown = ShownView::Nothing;
};

} // namespace qen
