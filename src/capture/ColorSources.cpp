#include "capture/ColorSources.h"

#include "capture/CaptureLists.h"

#include <QStringList>

#include <array>

namespace {

// clang-format off
constexpr std::array<QStringView, 117> colorSourceBundleIDs = {
    u"com.adobe", u"com.figma.Desktop", u"com.bohemiancoding.sketch", u"com.framer.electron", u"com.canva",
    u"com.apple.Photos", u"org.gimp.gimp", u"cc.ffitch.shottr", u"com.belightsoft.Amadine", u"com.pixofield.Keyshape",
    u"app.rive.editor", u"com.cleanshot", u"com.topazlabs", u"com.captureone", u"com.apple.pixelmator",
    u"com.pixelmatorteam", u"com.apple.iWork.Keynote", u"com.apple.iWork.Pages", u"com.electron.realtimeboard",
    u"com.picsart.studio", u"co.polarr", u"com.skylum", u"com.prisma-ai.lensa-app", u"org.photoscape.PhotoScapeX",
    u"co.bergen.Darkroom", u"com.everimaging.fotormac", u"com.gentlemencoders", u"com.flyingmeat.Acorn8",
    u"com.advasoft.touchretouchmac", u"com.lemkesoft.graphicconverter12", u"com.tinrocket.waterlogue1-mac",
    u"com.iconfactory.mac.Flare", u"com.zykloid.Posterino4", u"com.nevercenter.camerabagphoto",
    u"com.creaceed.mas.hydra4", u"com.brainfevermedia.anamorphicpro", u"com.linearity", u"com.icons8.Lunacy",
    u"com.corel.CorelDRAW", u"com.vectorstyler", u"com.boxy-svg.BoxySVG", u"com.dekorra.EazyDraw",
    u"com.syniumsoftware.logoist5", u"com.indeeo.idraw", u"com.meitu.mtxxpro", u"com.frontrow.flow",
    u"com.effectmatrix.supervectorizer", u"com.morpholioapps.board", u"com.celestialteapot.Shapes",
    u"com.lostminds.Vectoraster", u"com.pixodesk.svg", u"com.apsomb.vectordraw", u"com.cemo.mac.iGraphic-Designer",
    u"com.doonsoft.osketchiap", u"com.pearlmountainsoft.FotoJetDesignerLite", u"com.luckyclan.artstudio2.mac",
    u"com.tayasui", u"com.medibang", u"jp.ne.ibis.ibisPaint", u"com.creativeworkshop.SketchBookCreator",
    u"com.movavi.photoeditorappstore", u"com.cyberlink.photodirectormac", u"com.ACDSystems.mas.ACDSee-Photo-Studio",
    u"app.seashore", u"com.rhapsoft.livequartz", u"com.nchsoftware", u"com.jobssoft.paintlite", u"com.wangxutech.picwish",
    u"com.sbi.sketchbookpro", u"com.hasankassem.mockup", u"app.funfocus.DetailsPro", u"com.livesurface.LiveSurfaceMAS",
    u"com.betzpeter.Paletter", u"com.omnigroup.OmniGraffle7", u"com.tumult.Hype4", u"com.quark.QuarkXPress",
    u"eu.riverdesign.sparkle", u"com.cfour.istudiopublisher", u"ru.DeepIT.Diagrammix", u"com.highcaffeinecontent.pastel",
    u"com.goodsnooze.bakery", u"com.peakstep.claquette", u"net.telestream.screenflow10",
    u"uk.co.codingcorner.San-Fransymbols", u"com.pitch.pitch", u"com.iconfactory.xScope4",
    u"at.EternalStorms.ScreenFloat-appstore", u"com.belightsoft.ArtText4", u"com.charliemchapman.ScreenFrames",
    u"com.3DTOPO.MacComicBook", u"com.plasq.comiclife4", u"com.shapr3d.shapr", u"com.otoy", u"is.arkio.arkio",
    u"com.autodesk", u"org.blenderfoundation.blender", u"net.maxon.cinema4d", u"com.sidefx.HoudiniFX",
    u"com.sidefx.HoudiniLauncher", u"com.electron.plasticity", u"com.luxion.keyshot", u"com.sketchup.SketchUp",
    u"com.blackmagic-design.DaVinciResolve", u"com.apple.FinalCut", u"com.apple.Compressor", u"com.apple.motionapp",
    u"com.lemon.lvoverseas", u"com.wondershare.filmora", u"com.movavi.videoeditorplusappstore",
    u"com.cyberlink.powerdirectormac", u"com.techsmith.camtasia", u"com.filmage", u"no.mifi.losslesscut-mac",
    u"com.gifox.gifox2-appstore", u"co.detail.mac", u"co.forgeandform.riveo", u"com.avid.mediacomposer",
};

// Figma, Framer, Canva, Adobe, Photopea, Frame.io, Fotor, Penpot, Spline, LottieFiles,
// Webflow, Squarespace, Wix, Miro, Paper, Picsart, Google Photos, Remini, Pixlr, PhotoRoom.
constexpr std::array<QStringView, 20> colorSourceSites = {
    u"figma.com", u"framer.com", u"canva.com", u"adobe.com", u"photopea.com", u"frame.io", u"fotor.com",
    u"penpot.app", u"spline.design", u"lottiefiles.com", u"webflow.com", u"squarespace.com", u"wix.com",
    u"miro.com", u"paper.design", u"picsart.com", u"photos.google.com", u"remini.ai", u"pixlr.com", u"photoroom.com",
};
// clang-format on

} // namespace

namespace ColorSources {

bool isColorSourceApplication(const QString &bundleIdentifier)
{
    if (bundleIdentifier.isEmpty())
        return false;
    for (QStringView id : colorSourceBundleIDs) {
        if (bundleIdentifier.contains(id))
            return true;
    }
    const QStringList &linuxApplications = CaptureLists::shared().colorSourceApplications;
    const QString lowered = bundleIdentifier.toLower();
    return std::any_of(linuxApplications.begin(), linuxApplications.end(),
        [&](const QString &entry) { return lowered.contains(entry); });
}

bool isColorSourceSite(const QString &sourceURL)
{
    const QString lowered = sourceURL.toLower();
    return std::any_of(colorSourceSites.begin(), colorSourceSites.end(),
        [&](QStringView site) { return lowered.contains(site); });
}

} // namespace ColorSources
