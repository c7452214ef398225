#include "SmallFormat.h"

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/RootElement.h>

#include <gtest/gtest.h>

#include <ranges>
#include <stdexcept>
#include <string>
#include <vector>

using sdf::Element;
using sdf::test::SmallRoot;

namespace {

std::vector<std::string> Labels(const Element& e)
{
    std::vector<std::string> labels;
    for (const auto& c : e.elements())
        labels.push_back(c->label());
    return labels;
}

// Messages are part of the interface: check kind and text together.
template <class Exception, class F>
void ExpectThrowWith(F&& f, const std::string& message)
{
    try {
        f();
        ADD_FAILURE() << "nothing thrown, expected: " << message;
    } catch (const Exception& e) {
        EXPECT_EQ(e.what(), message);
    }
}

// Children a1, b, a2, c of a small root.
struct Abac
{
    std::shared_ptr<Element> root = SmallRoot();
    std::shared_ptr<Element> a1 = root->append("a");
    std::shared_ptr<Element> b = root->append("b");
    std::shared_ptr<Element> a2 = root->append("a");
    std::shared_ptr<Element> c = root->append("c");
};

} // namespace

TEST(ElementCreation, SpawnOfStationHasItsIdAndNoChildren)
{
    auto station = sdf::RootTemplate().child("station").spawn();
    EXPECT_EQ(station->label(), "station");
    EXPECT_EQ(station->count(), 0u);
    EXPECT_EQ(station->getId(true), 0u);
    ASSERT_EQ(station->attributes().size(), 1u);
    EXPECT_FALSE(station->attributes()[0]->isSet());
    EXPECT_FALSE(station->parent());
}

TEST(ElementCreation, AppendStationBuildsItsRequiredChildrenInTemplateOrder)
{
    auto root = sdf::CreateRootElement();
    EXPECT_EQ(root->label(), "sdf");
    EXPECT_EQ(root->count(), 0u);
    EXPECT_NE(sdf::CreateRootElement(), root);

    auto station = root->append("station");
    EXPECT_EQ(Labels(*root), std::vector<std::string>{"station"});
    EXPECT_EQ(station->parent(), root);
    EXPECT_EQ(Labels(*station), (std::vector<std::string>{"last_viewpoint_pose", "visibility"}));
    EXPECT_EQ(station->elements()[0]->getStringFromValue(), "0 0 0 1 0 0 0");
    EXPECT_EQ(station->elements()[1]->count(), 0u);
    EXPECT_EQ(station->elements()[1]->parent(), station);

    // A second append adds another one, at the end.
    auto second = root->append("station");
    EXPECT_NE(second, station);
    EXPECT_EQ(root->count(), 2u);
}

TEST(ElementCreation, RequiredGrandchildrenComeWithTheChild)
{
    auto root = SmallRoot();
    root->append("a");
    auto b = root->append("b");
    EXPECT_EQ(Labels(*b), std::vector<std::string>{"d"});
    EXPECT_EQ(Labels(*root), (std::vector<std::string>{"a", "b"}));
}

TEST(ElementCreation, AppendOfAnUnknownNameFailsAndChangesNothing)
{
    auto root = sdf::CreateRootElement();
    ExpectThrowWith<std::logic_error>([&] { root->append("part"); },
                                      "element 'sdf' does not have 'part' child element");
    EXPECT_EQ(root->count(), 0u);
}

TEST(ElementCreation, DefaultElementIsEmptyAndNeedsSharedOwnershipToLink)
{
    Element plain;
    EXPECT_EQ(plain.label(), "");
    EXPECT_EQ(plain.count(), 0u);
    EXPECT_FALSE(plain.parent());
    EXPECT_EQ(plain.getId(), 0u);
    EXPECT_THROW(plain.append(SmallRoot()), std::bad_weak_ptr);
    EXPECT_EQ(plain.count(), 0u);
}

TEST(ElementPaths, EmptyPathIsTheElementItself)
{
    auto root = SmallRoot();
    EXPECT_EQ(root->get(""), root);
    EXPECT_EQ(root->touch(""), root);
    EXPECT_TRUE(root->exists(""));
    EXPECT_EQ(root->count(), 0u);
}

TEST(ElementPaths, EmptyPiecesNameNoChild)
{
    auto root = SmallRoot();
    auto b = root->append("b");
    EXPECT_EQ(root->get("b/d"), b->elements()[0]);
    EXPECT_FALSE(root->get("b/"));
    EXPECT_FALSE(root->get("/b"));
    EXPECT_FALSE(root->get("b//d"));
    EXPECT_FALSE(root->exists("b/e"));
    EXPECT_FALSE(root->get("b/d/"));
    // get never creates.
    EXPECT_EQ(b->count(), 1u);
}

TEST(ElementPaths, EachPieceTakesTheFirstChildOfItsLabel)
{
    Abac t;
    EXPECT_EQ(t.root->get("a"), t.a1);
    EXPECT_EQ(t.root->touch("a"), t.a1);
    EXPECT_EQ(t.root->count(), 4u);
}

TEST(ElementPaths, TouchCreatesWhatIsMissingAndKeepsItWhenALaterPieceFails)
{
    auto root = sdf::CreateRootElement();
    ExpectThrowWith<std::logic_error>([&] { root->touch("station/part/bogus/x"); },
                                      "element 'part' does not have 'bogus' child element");
    auto part = root->get("station/part");
    ASSERT_TRUE(part);
    EXPECT_EQ(part->parent(), root->get("station"));
    EXPECT_EQ(root->count(), 1u);

    // Now everything is there: touch finds it and creates nothing more.
    auto station = root->get("station");
    const auto before = station->count();
    EXPECT_EQ(root->touch("station/part"), part);
    EXPECT_EQ(station->count(), before);
}

TEST(ElementPaths, PiecesAreComparedExactly)
{
    auto root = SmallRoot();
    root->append("a");
    EXPECT_FALSE(root->get(" a"));
    EXPECT_FALSE(root->get("A"));
    EXPECT_THROW(root->touch("a "), std::logic_error);
}

TEST(ElementChildren, ViewIsLazyOrderedAndFollowsTheLiveList)
{
    Abac t;
    auto as = t.root->children("a");
    EXPECT_EQ(std::ranges::distance(as), 2);
    EXPECT_EQ(*as.begin(), t.a1);

    // Enough appends to move the vector's storage; the view still works.
    for (int i = 0; i < 100; ++i)
        t.root->append("c");
    auto a3 = t.root->append("a");
    std::vector<std::shared_ptr<Element>> seen(as.begin(), as.end());
    EXPECT_EQ(seen, (std::vector<std::shared_ptr<Element>>{t.a1, t.a2, a3}));
    EXPECT_TRUE(t.root->children("any").empty());
}

TEST(ElementChildren, IndexCountsAllLabels)
{
    Abac t;
    EXPECT_EQ(t.a1->index(), 0);
    EXPECT_EQ(t.a2->index(), 2);
    EXPECT_EQ(t.c->index(), 3);
    ExpectThrowWith<std::logic_error>([&] { t.root->index(); }, "element is not stored in parent's elements");
}

TEST(ElementInsert, InsertElementPlacesAmongSameLabelSiblings)
{
    {
        Abac t;
        auto n = t.root->InsertElement(1, "a");
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a1, t.b, n, t.a2, t.c}));
        EXPECT_EQ(n->parent(), t.root);
    }
    {
        Abac t;
        auto n = t.root->InsertElement(0, "a");
        EXPECT_EQ(t.root->elements(), (Element::ElementList{n, t.a1, t.b, t.a2, t.c}));
    }
    {
        // One past the last a goes to the very end, after other labels.
        Abac t;
        auto n = t.root->InsertElement(2, "a");
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a1, t.b, t.a2, t.c, n}));
    }
    {
        Abac t;
        auto n = t.root->InsertElement(0, "any");
        EXPECT_EQ(t.root->elements().back(), n);
        // The required subtree comes along.
        auto b = t.root->InsertElement(0, "b");
        EXPECT_EQ(t.root->elements()[1], b);
        EXPECT_EQ(Labels(*b), std::vector<std::string>{"d"});
    }
}

TEST(ElementInsert, AnElementCanNotBecomeItsOwnDescendant)
{
    Abac t;
    auto d = t.b->elements()[0];
    ExpectThrowWith<std::logic_error>([&] { d->append(t.root); }, "element can not be a descendant of itself");
    EXPECT_THROW(t.b->insert(0, t.b), std::logic_error);
    EXPECT_EQ(d->count(), 0u);
    EXPECT_EQ(t.b->count(), 1u);
    EXPECT_FALSE(t.root->parent());
}

TEST(ElementInsert, InsertElementWithoutDescriptionFails)
{
    Abac t;
    ExpectThrowWith<std::logic_error>([&] { t.root->InsertElement(0, "zz"); }, "Missing element description");
    EXPECT_EQ(t.root->count(), 4u);
}

TEST(ElementInsert, InsertTakesAPositionOfTheWholeList)
{
    Abac t;
    auto other = SmallRoot()->append("c");
    t.root->insert(1, other);
    EXPECT_EQ(t.root->elements()[1], other);
    EXPECT_EQ(other->parent(), t.root);

    auto last = sdf::test::SmallFormat().child("b").spawn();
    t.root->insert(static_cast<unsigned>(t.root->count()), last);
    EXPECT_EQ(t.root->elements().back(), last);

    const auto before = t.root->elements();
    auto stray = sdf::test::SmallFormat().child("b").spawn();
    ExpectThrowWith<std::logic_error>([&] { t.root->insert(static_cast<unsigned>(t.root->count()) + 1, stray); },
                                      "index should not exceed elements' count");
    EXPECT_EQ(t.root->elements(), before);
    EXPECT_FALSE(stray->parent());
}

TEST(ElementMove, MoveElementPlacesAmongTheOthersOfItsLabel)
{
    {
        Abac t;
        t.root->MoveElement(t.a1, 0);
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.b, t.a1, t.a2, t.c}));
        EXPECT_EQ(t.a1->parent(), t.root);
    }
    {
        Abac t;
        t.root->MoveElement(t.a1, 1);
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.b, t.a2, t.c, t.a1}));
    }
    {
        Abac t;
        t.root->MoveElement(t.a2, 0);
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a2, t.a1, t.b, t.c}));
    }
}

TEST(ElementRemove, RemoveByPointerUnlinksOnlyThatChild)
{
    Abac t;
    t.root->remove(t.a2);
    EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a1, t.b, t.c}));
    EXPECT_FALSE(t.a2->parent());
    // A stranger is ignored.
    t.root->remove(SmallRoot());
    EXPECT_EQ(t.root->count(), 3u);
}

TEST(ElementRemove, RemoveByNameAndPredicate)
{
    {
        Abac t;
        t.root->remove("a", nullptr);
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.b, t.c}));
        EXPECT_FALSE(t.a1->parent());
        EXPECT_FALSE(t.a2->parent());
    }
    {
        Abac t;
        auto a3 = t.root->append("a");
        t.root->remove("a", [&](std::shared_ptr<Element> e) { return e == t.a2; });
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a1, t.b, t.c, a3}));
        EXPECT_EQ(t.a1->parent(), t.root);
        EXPECT_FALSE(t.a2->parent());
    }
    {
        // A predicate that fails part way leaves the list as it was.
        Abac t;
        int calls = 0;
        EXPECT_THROW(t.root->remove("a",
                                    [&](std::shared_ptr<Element>) -> bool {
                                        if (++calls == 2)
                                            throw std::runtime_error("no");
                                        return true;
                                    }),
                     std::runtime_error);
        EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a1, t.b, t.a2, t.c}));
        EXPECT_EQ(t.a1->parent(), t.root);
    }
}

TEST(ElementRemove, RemoveFromParentTakesTheElementOut)
{
    Abac t;
    t.b->removeFromParent();
    EXPECT_EQ(t.root->elements(), (Element::ElementList{t.a1, t.a2, t.c}));
    EXPECT_FALSE(t.b->parent());
    EXPECT_THROW(t.b->index(), std::logic_error);
    t.b->removeFromParent();
    EXPECT_EQ(t.root->count(), 3u);
    // The root has no parent and is left alone.
    t.root->removeFromParent();
    EXPECT_EQ(t.root->count(), 3u);
}

TEST(ElementRemove, RemoveFromParentOfTheOnlyOwnerKeepsTheElementAliveUntilDone)
{
    auto root = SmallRoot();
    std::weak_ptr<Element> weak = root->append("b");
    weak.lock()->removeFromParent();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(root->count(), 0u);
}

TEST(ElementRemove, ClearDropsChildrenAndOwnLinkOnly)
{
    Abac t;
    auto d = t.b->elements()[0];
    t.b->clear();
    EXPECT_EQ(t.b->count(), 0u);
    EXPECT_FALSE(t.b->parent());
    // Still listed by the former parent, and the dropped child still points up.
    EXPECT_EQ(t.root->elements()[1], t.b);
    EXPECT_EQ(d->parent(), t.b);
}

TEST(ElementCopy, CloneIsDeepAndParentless)
{
    auto root = sdf::CreateRootElement();
    auto station = root->append("station");
    station->setId(3);
    station->set<std::string>("name", "cell");
    station->appendObject("part", 12, "box");
    const auto source = Labels(*station);

    auto copy = station->clone();
    EXPECT_FALSE(copy->parent());
    EXPECT_EQ(copy->label(), "station");
    EXPECT_EQ(Labels(*copy), source);
    EXPECT_EQ(copy->getId(true), 3u);
    EXPECT_EQ(copy->asString("name"), "cell");
    EXPECT_EQ(copy->get("part/name")->getStringFromValue(), "box");
    for (const auto& child : copy->elements())
        EXPECT_EQ(child->parent(), copy);
    EXPECT_NE(copy->get("part"), station->get("part"));

    copy->set<std::string>("name", "other");
    copy->get("part")->setId(99);
    copy->append("part");
    EXPECT_EQ(station->asString("name"), "cell");
    EXPECT_EQ(station->get("part")->getId(), 12u);
    EXPECT_EQ(Labels(*station), source);
}

TEST(ElementCopy, CopyConstructorIsShallow)
{
    auto root = SmallRoot();
    auto c = root->append("c");
    Element copy(*c);
    EXPECT_EQ(copy.label(), "c");
    EXPECT_EQ(copy.parent(), root);
    EXPECT_EQ(root->count(), 1u);
    copy.setValue(4.0);
    EXPECT_EQ(c->asDouble(), 4.0);

    Element assigned;
    assigned = *root;
    EXPECT_EQ(assigned.elements(), root->elements());
}

TEST(ElementCopy, ShallowCopyKeepsTheSharedValueAliveWithoutACycle)
{
    // A value may live in its element's own block: a copy that shares it
    // must keep it alive, and handing it back must not make the element
    // own itself (the leak checker would report the tree).
    std::unique_ptr<Element> survivor;
    {
        auto root = SmallRoot();
        auto c = root->append("c");
        c->setValue(4.0);
        survivor = std::make_unique<Element>(*c);
        Element back(*c);
        back.setValue(5.0);
        *c = back;
        *c = *c;
    }
    EXPECT_EQ(survivor->asDouble(), 5.0);
    survivor->setValue(6.0);
    EXPECT_EQ(survivor->asDouble(), 6.0);
}

TEST(ElementIds, SetIdAddsOnceAndGetIdReadsIt)
{
    auto root = SmallRoot();
    auto b = root->append("b");
    EXPECT_EQ(b->getId(false), 0u);
    ExpectThrowWith<std::runtime_error>([&] { b->getId(true); }, "element does not have 'id' attribute");

    EXPECT_EQ(b->setId(7), b);
    EXPECT_EQ(b->getId(true), 7u);
    b->setId(8);
    EXPECT_EQ(b->getId(true), 8u);
    ASSERT_EQ(b->attributes().size(), 1u);
    EXPECT_EQ(b->attributes()[0]->label(), "id");
    EXPECT_EQ(b->attributes()[0]->type(), "unsigned int");

    // A template's own id attribute is used, not doubled; an unset default
    // reads as any value.
    EXPECT_EQ(root->getId(true), 0u);
    root->setId(5);
    EXPECT_EQ(root->getId(true), 5u);
    EXPECT_EQ(root->attributes().size(), 1u);
    EXPECT_TRUE(root->attributes()[0]->isSet());
    auto copy = root->clone();
    EXPECT_EQ(copy->getId(true), 5u);
    EXPECT_FALSE(copy->attributes()[0]->isSet());
}

TEST(ElementLifetime, ReleasingTheRootFreesEveryElement)
{
    std::vector<std::weak_ptr<Element>> all;
    {
        auto root = sdf::CreateRootElement();
        auto station = root->append("station");
        for (int i = 0; i < 5; ++i)
            station->appendObject("part", 10 + i, "p");
        station->touch("smart_component/property");
        auto copy = station->clone();
        root->append(copy);

        std::vector<std::shared_ptr<Element>> stack{root};
        while (!stack.empty()) {
            auto e = stack.back();
            stack.pop_back();
            all.push_back(e);
            for (const auto& c : e->elements())
                stack.push_back(c);
        }
    }
    ASSERT_GT(all.size(), 20u);
    for (const auto& w : all)
        EXPECT_TRUE(w.expired());
}

#if ZRV_ASSERTS_ACTIVE
TEST(ElementDeathTest, PreconditionsStopDebugBuilds)
{
    EXPECT_DEATH(
        {
            Abac t;
            t.root->InsertElement(3, "a");
        },
        "ASSERT failure: \"index out of bound\" in src/sdformat/Element");
    EXPECT_DEATH(SmallRoot()->remove(nullptr), "ASSERT failure: \"child\" in src/sdformat/Element");
    EXPECT_DEATH(std::make_shared<Element>()->append("a"), "ASSERT failure: \"_template\" in src/sdformat/Element");
    EXPECT_DEATH(SmallRoot()->append(std::shared_ptr<Element>()), "ASSERT failure: \"element\" in src/sdformat/Element");
    EXPECT_DEATH(
        {
            Abac t;
            t.root->MoveElement(SmallRoot(), 0);
        },
        "ASSERT failure: \"element is a child of this element\" in src/sdformat/Element");
}
#endif
