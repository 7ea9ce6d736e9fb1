#pragma once

#include <QString>

namespace qen {

class ArticleTree;
class WorkFolders;
class WwpDecoder;

// What the window does to show a node's page. The window applies it as it stands: load the
// file into the named view, swap the views when the other one is shown, write the status
// text, then recompute the command state.
struct DisplayPlan {
    enum class View {
        Unchanged, // not a page type we show: the previous page stays
        Image,     // load path into imgEdit
        Record,    // load path into rihEdit, set its tag to path, run the record filter
    };
    View view = View::Unchanged;
    int node = 0;          // the node whose page is shown (a package node gives its first page)
    QString path;          // the file for the view
    QString statusText;    // status bar panel 3
    bool decoded = false;  // a WWP page was decoded in this call
    bool decodeOk = false; // and the decoder reported success
};

// The node-click display's decisions: which page a node stands for, WWP pages decoded to
// TIFF once (their keys then name the TIFF), and which view shows the result.
class PageDisplay {
public:
    PageDisplay(ArticleTree &tree, const WorkFolders &folders, const WwpDecoder &decoder);

    // Selects the shown node in the tree (the first page for a package node).
    DisplayPlan show(int index);

    // The image file a page node is read from: for a WWP page, the TIFF it decodes to,
    // decoded here as showing it would do (after which the node's key names the TIFF).
    // Saving, printing and export read pages through this, so they never decode beside the
    // user's own file. A node whose key is already a TIFF is not decoded again.
    struct PageFile {
        QString path;
        bool decoded = false; // a WWP page was decoded in this call
        bool ok = true;       // false when decoding failed (path names where it was meant to go)
    };
    PageFile pageFile(int index);

private:
    QString decodedPath(int index, const QString &key) const;

    ArticleTree &m_tree;
    const WorkFolders &m_folders;
    const WwpDecoder &m_decoder;
};

// TIF, JPG, GIF, BMP: page types an image view reads as they stand (WWP needs decoding).
bool IsImageType(const QString &pageType);

// Panel 3: the article's text alone for a root node, else the article's text, ":" and the
// page's text.
QString StatusText(const ArticleTree &tree, int index);

} // namespace qen
