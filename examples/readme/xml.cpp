// XML: one document over one UTF-16 text; build, navigate, read, edit.
#include <pubfunc/markup.h>

int main() {
    CMarkup xml;
    xml.AddElem(W16("session"));
    xml.SetAttrib(W16("fps"), 30);
    xml.IntoElem();
    xml.AddElem(W16("stage"), W16("capture"));
    xml.SetAttrib(W16("frames"), 900);
    xml.AddElem(W16("stage"), W16("encode"));
    xml.SetAttrib(W16("frames"), 898);

    CMarkup copy; // parse the text the first one holds
    if (!copy.SetDoc(xml.GetDoc())) return 1;
    copy.FindElem(W16("session"));
    wstring16 stages;
    while (copy.FindChildElem(W16("stage"))) // every child in document order
        stages += copy.GetChildData() + W16("=") + copy.GetChildAttrib(W16("frames")) + W16(" ");
    const bool ok =
        stages == W16("capture=900 encode=898 ") && copy.GetAttrib(W16("fps")) == W16("30");
    return ok ? 0 : 1;
}
