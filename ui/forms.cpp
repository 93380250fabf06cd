#include "ui/forms.h"

#include "ui/frmmain1.h"
#include "ui/frmmain2.h"
#include "ui/frmmain3.h"
#include "ui/frmreport.h"
#include "ui/frmsplash.h"

#include <QPointer>
#include <QWidget>

#include <array>

namespace {

constexpr int kFormCount = 5;

std::array<QPointer<QWidget>, kFormCount> &slots()
{
    static std::array<QPointer<QWidget>, kFormCount> s;
    return s;
}

QPointer<QWidget> &slotOf(Form form)
{
    return slots()[static_cast<size_t>(form)];
}

std::function<void()> &lastUnloadedHook()
{
    static std::function<void()> hook;
    return hook;
}

std::function<void(Form)> &unloadObserver()
{
    static std::function<void(Form)> observer;
    return observer;
}

template<class W>
W &loadOnFirstUse(Form form)
{
    QPointer<QWidget> &slot = slotOf(form);
    if (!slot)
        slot = new W;
    return static_cast<W &>(*slot);
}

} // namespace

FrmMain1 &frmMain1()
{
    return loadOnFirstUse<FrmMain1>(Form::Main1);
}

FrmMain2 &frmMain2()
{
    return loadOnFirstUse<FrmMain2>(Form::Main2);
}

FrmMain3 &frmMain3()
{
    return loadOnFirstUse<FrmMain3>(Form::Main3);
}

FrmSplash &frmSplash()
{
    return loadOnFirstUse<FrmSplash>(Form::Splash);
}

FrmReport &frmReport()
{
    return loadOnFirstUse<FrmReport>(Form::Report);
}

namespace Forms {

bool isLoaded(Form form)
{
    return !slotOf(form).isNull();
}

QWidget *loaded(Form form)
{
    return slotOf(form).data();
}

int loadedCount()
{
    int n = 0;
    for (const auto &slot : slots())
        n += slot.isNull() ? 0 : 1;
    return n;
}

void unload(Form form)
{
    QPointer<QWidget> &slot = slotOf(form);
    if (!slot)
        return;
    QWidget *window = slot.data();
    slot.clear();
    window->hide();
    window->deleteLater();
    if (unloadObserver())
        unloadObserver()(form);
    if (loadedCount() == 0 && lastUnloadedHook())
        lastUnloadedHook()();
}

void unloadAll()
{
    for (Form form : {Form::Main1, Form::Main2, Form::Main3, Form::Splash, Form::Report})
        unload(form);
}

void setUnloadObserver(std::function<void(Form)> observer)
{
    unloadObserver() = std::move(observer);
}

void setLastUnloadedHook(std::function<void()> hook)
{
    lastUnloadedHook() = std::move(hook);
}

} // namespace Forms
