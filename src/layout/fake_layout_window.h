#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "layout/layout_window.h"

// Recording fakes of the window system for the layout engine's tests.
namespace DynamicLayout {

struct FakeControl : LayoutControlWindow {
    explicit FakeControl(Rect r = {}) : rect(r) {}
    Rect WindowRect() const override { return rect; }
    void MoveWindow(const Rect& r) override { rect = r; }
    void Invalidate(bool) override {}
    void Show(bool show) override {
        visible = show;
        ++showCalls;
    }
    bool IsVisible() const override { return visible; }

    Rect rect;
    bool visible = true;
    int showCalls = 0;
};

struct FakeHost : LayoutHostWindow {
    using Line = std::tuple<int, int, int, int>;

    Rect ClientRect() const override { return client; }
    LayoutControlWindow* ChildById(unsigned id) override {
        auto it = children.find(id);
        return it == children.end() ? nullptr : it->second;
    }
    void Invalidate(bool erase) override { wholeInvalidations.push_back(erase); }
    void InvalidateRegion(const Region& r, bool) override { invalidatedRegions.push_back(r); }
    std::unique_ptr<LayoutSurface> GetDC() override {
        struct Surface : LayoutSurface {
            explicit Surface(FakeHost& h) : host(h) {}
            void FillRegion(const Region& r, COLORREF c) override { host.fills.push_back({r, c}); }
            void Draw3dRect(const Rect& r, COLORREF, COLORREF) override { host.frames.push_back(r); }
            void InvertLine(int x0, int y0, int x1, int y1, COLORREF) override {
                // Inverting twice restores: the set holds what is on screen.
                Line l{x0, y0, x1, y1};
                if (!host.band.erase(l)) host.band.insert(l);
                ++host.lineDraws;
            }
            FakeHost& host;
        };
        return std::make_unique<Surface>(*this);
    }
    void SetCapture() override { captured = true; }
    void ReleaseCapture() override { captured = false; }
    LayoutCursor GetCursor() const override { return cursor; }
    void SetCursor(LayoutCursor c) override { cursor = c; }
    void PostToWindowThread(std::function<void()> work) override {
        std::lock_guard lock(postedMutex);
        posted.push_back(std::move(work));
    }
    size_t PostedCount() {
        std::lock_guard lock(postedMutex);
        return posted.size();
    }
    void RunPosted() {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(postedMutex);
            work.swap(posted);
        }
        for (auto& w : work) w();
    }

    Rect client{0, 0, 400, 300};
    std::map<unsigned, FakeControl*> children;
    std::vector<bool> wholeInvalidations;
    std::vector<Region> invalidatedRegions;
    std::vector<std::pair<Region, COLORREF>> fills;
    std::vector<Rect> frames;
    std::set<Line> band;
    int lineDraws = 0;
    bool captured = false;
    LayoutCursor cursor = LayoutCursor::Arrow;
    std::mutex postedMutex;
    std::vector<std::function<void()>> posted;
};

}  // namespace DynamicLayout
