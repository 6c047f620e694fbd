#include "model/SpellData.h"

namespace SpellData {

namespace {

struct Pair
{
    const char* wrong;
    const char* right;
};

// Common misspellings of longer words first, then transpositions, doublings and dropped
// letters of everyday words.
const Pair kCorrections[] = {
    {"absense", "absence"}, {"accomodate", "accommodate"}, {"acheive", "achieve"}, {"accross", "across"},
    {"agressive", "aggressive"}, {"apparant", "apparent"}, {"appearence", "appearance"},
    {"arguement", "argument"}, {"assasination", "assassination"}, {"basicly", "basically"},
    {"begining", "beginning"}, {"beleive", "believe"}, {"belive", "believe"}, {"buisness", "business"},
    {"calender", "calendar"}, {"camoflage", "camouflage"}, {"catagory", "category"},
    {"cemetary", "cemetery"}, {"changable", "changeable"}, {"cheif", "chief"}, {"collegue", "colleague"},
    {"comming", "coming"}, {"commitee", "committee"}, {"committe", "committee"},
    {"completly", "completely"}, {"concious", "conscious"}, {"consciencious", "conscientious"},
    {"curiousity", "curiosity"}, {"definately", "definitely"}, {"definatly", "definitely"},
    {"definetly", "definitely"}, {"definitly", "definitely"}, {"dilemna", "dilemma"},
    {"dissapear", "disappear"}, {"dissapoint", "disappoint"}, {"ecstacy", "ecstasy"},
    {"embarass", "embarrass"}, {"embarassing", "embarrassing"}, {"enviroment", "environment"},
    {"existance", "existence"}, {"experiance", "experience"}, {"familar", "familiar"},
    {"finaly", "finally"}, {"florescent", "fluorescent"}, {"foriegn", "foreign"}, {"freind", "friend"},
    {"futher", "further"}, {"gaurd", "guard"}, {"glamourous", "glamorous"}, {"goverment", "government"},
    {"govenment", "government"}, {"grammer", "grammar"}, {"happend", "happened"}, {"harrass", "harass"},
    {"humourous", "humorous"}, {"idiosyncracy", "idiosyncrasy"}, {"immediatly", "immediately"},
    {"incidently", "incidentally"}, {"independant", "independent"}, {"interupt", "interrupt"},
    {"irresistable", "irresistible"}, {"knowlege", "knowledge"}, {"liason", "liaison"},
    {"libary", "library"}, {"lisence", "license"}, {"maintainance", "maintenance"},
    {"maintenence", "maintenance"}, {"millenium", "millennium"}, {"miniscule", "minuscule"},
    {"mispell", "misspell"}, {"neccessary", "necessary"}, {"necessery", "necessary"},
    {"noticable", "noticeable"}, {"occassion", "occasion"}, {"occured", "occurred"},
    {"occurance", "occurrence"}, {"ocurred", "occurred"}, {"oppurtunity", "opportunity"},
    {"opertunity", "opportunity"}, {"paralell", "parallel"}, {"pavillion", "pavilion"},
    {"persistant", "persistent"}, {"pharoah", "pharaoh"}, {"peice", "piece"}, {"politican", "politician"},
    {"posession", "possession"}, {"possesion", "possession"}, {"prefered", "preferred"},
    {"privelege", "privilege"}, {"priviledge", "privilege"}, {"probaly", "probably"},
    {"probly", "probably"}, {"propoganda", "propaganda"}, {"publically", "publicly"}, {"realy", "really"},
    {"recieve", "receive"}, {"recieved", "received"}, {"reciept", "receipt"}, {"recomend", "recommend"},
    {"reccomend", "recommend"}, {"refered", "referred"}, {"relevent", "relevant"},
    {"religous", "religious"}, {"remeber", "remember"}, {"rember", "remember"},
    {"resistence", "resistance"}, {"responsability", "responsibility"}, {"restaraunt", "restaurant"},
    {"restuarant", "restaurant"}, {"rythm", "rhythm"}, {"rhythem", "rhythm"}, {"schedual", "schedule"},
    {"secratary", "secretary"}, {"seperate", "separate"}, {"seperately", "separately"}, {"sieze", "seize"},
    {"similer", "similar"}, {"sincerly", "sincerely"}, {"speach", "speech"}, {"succesful", "successful"},
    {"sucessful", "successful"}, {"supercede", "supersede"}, {"suprise", "surprise"},
    {"surprize", "surprise"}, {"tatoo", "tattoo"}, {"tendancy", "tendency"}, {"threshhold", "threshold"},
    {"tommorow", "tomorrow"}, {"tommorrow", "tomorrow"}, {"tomorow", "tomorrow"}, {"truely", "truly"},
    {"unforseen", "unforeseen"}, {"unfortunatly", "unfortunately"}, {"untill", "until"}, {"wierd", "weird"},
    {"writting", "writing"}, {"yatch", "yacht"}, {"abotu", "about"}, {"aobut", "about"}, {"abuot", "about"},
    {"baout", "about"}, {"adn", "and"}, {"nad", "and"}, {"anbd", "and"}, {"andd", "and"},
    {"agian", "again"}, {"agina", "again"}, {"ahve", "have"}, {"haev", "have"}, {"hvae", "have"},
    {"allready", "already"}, {"almsot", "almost"}, {"alomst", "almost"}, {"alos", "also"},
    {"alwasy", "always"}, {"alwyas", "always"}, {"amke", "make"}, {"mkae", "make"}, {"maek", "make"},
    {"anwser", "answer"}, {"aroudn", "around"}, {"arround", "around"}, {"awya", "away"}, {"bakc", "back"},
    {"bcak", "back"}, {"beacuse", "because"}, {"becasue", "because"}, {"becuase", "because"},
    {"becuse", "because"}, {"befoer", "before"}, {"beofre", "before"}, {"betwen", "between"},
    {"bewteen", "between"}, {"breif", "brief"}, {"chnage", "change"}, {"chagne", "change"},
    {"clcik", "click"}, {"cliked", "clicked"}, {"coudl", "could"}, {"dont't", "don't"},
    {"doens't", "doesn't"}, {"doesnt't", "doesn't"}, {"eahc", "each"}, {"ehre", "here"}, {"esle", "else"},
    {"fialed", "failed"}, {"firts", "first"}, {"fisrt", "first"}, {"follwing", "following"},
    {"fomr", "form"}, {"frmo", "from"}, {"fucntion", "function"}, {"funciton", "function"},
    {"futrue", "future"}, {"goign", "going"}, {"gonig", "going"}, {"gerat", "great"}, {"graet", "great"},
    {"hapen", "happen"}, {"ahppen", "happen"}, {"happends", "happens"}, {"hask", "task"}, {"helo", "hello"},
    {"hlep", "help"}, {"hte", "the"}, {"teh", "the"}, {"tyhe", "the"}, {"thge", "the"}, {"tehy", "they"},
    {"theyt", "they"}, {"htere", "there"}, {"tehre", "there"}, {"thier", "their"}, {"theri", "their"},
    {"htis", "this"}, {"thsi", "this"}, {"tihs", "this"}, {"hwo", "how"}, {"hwat", "what"},
    {"waht", "what"}, {"whta", "what"}, {"iwth", "with"}, {"wiht", "with"}, {"wtih", "with"},
    {"witht", "with"}, {"jsut", "just"}, {"juts", "just"}, {"knwo", "know"}, {"konw", "know"},
    {"kwno", "know"}, {"nkow", "know"}, {"liek", "like"}, {"likw", "like"}, {"littel", "little"},
    {"litle", "little"}, {"loev", "love"}, {"lvoe", "love"}, {"mabye", "maybe"}, {"myabe", "maybe"},
    {"maybee", "maybe"}, {"moeny", "money"}, {"mroe", "more"}, {"omre", "more"}, {"msot", "most"},
    {"mcuh", "much"}, {"muhc", "much"}, {"nwo", "now"}, {"onw", "now"}, {"noww", "now"},
    {"nubmer", "number"}, {"numbe", "number"}, {"ofr", "for"}, {"ohter", "other"}, {"otehr", "other"},
    {"onyl", "only"}, {"olny", "only"}, {"oepn", "open"}, {"opne", "open"}, {"peopel", "people"},
    {"poeple", "people"}, {"pepole", "people"}, {"pleae", "please"}, {"plese", "please"},
    {"pleasse", "please"}, {"queston", "question"}, {"quesion", "question"}, {"questoin", "question"},
    {"quikc", "quick"}, {"quciker", "quicker"}, {"rigth", "right"}, {"rihgt", "right"}, {"irght", "right"},
    {"shoudl", "should"}, {"shuold", "should"}, {"sohuld", "should"}, {"soem", "some"}, {"smoe", "some"},
    {"somthing", "something"}, {"somethign", "something"}, {"soemthing", "something"}, {"stiill", "still"},
    {"stlil", "still"}, {"studnet", "student"}, {"swiming", "swimming"}, {"tahn", "than"},
    {"tahnk", "thank"}, {"thakn", "thank"}, {"thnak", "thank"}, {"thansk", "thanks"}, {"thakns", "thanks"},
    {"tahnks", "thanks"}, {"thankyou", "thank you"}, {"taht", "that"}, {"htat", "that"}, {"thta", "that"},
    {"theif", "thief"}, {"tiem", "time"}, {"tmie", "time"}, {"tkae", "take"}, {"taek", "take"},
    {"todya", "today"}, {"tdoay", "today"}, {"toghether", "together"}, {"togehter", "together"},
    {"tongiht", "tonight"}, {"tounge", "tongue"}, {"transfered", "transferred"}, {"troble", "trouble"},
    {"understnad", "understand"}, {"udnerstand", "understand"}, {"unitl", "until"}, {"utnil", "until"},
    {"veyr", "very"}, {"vrey", "very"}, {"verry", "very"}, {"watn", "want"}, {"wnat", "want"},
    {"wnats", "wants"}, {"wehn", "when"}, {"hwen", "when"}, {"whne", "when"}, {"whenver", "whenever"},
    {"wherre", "where"}, {"wehre", "where"}, {"wich", "which"}, {"whcih", "which"}, {"whihc", "which"},
    {"hwich", "which"}, {"whoel", "whole"}, {"owrk", "work"}, {"wokr", "work"}, {"wrok", "work"},
    {"woudl", "would"}, {"wuold", "would"}, {"wolud", "would"}, {"whould", "would"}, {"wirte", "write"},
    {"wriet", "write"}, {"yaer", "year"}, {"yera", "year"}, {"eyar", "year"}, {"yoiu", "you"},
    {"yuo", "you"}, {"yoou", "you"}, {"youu", "you"}, {"yuor", "your"}, {"yoru", "your"}, {"youir", "your"},
};

const char* const kProtected[] = {
    "i", "im", "ive", "ill", "id", "dont", "cant", "wont", "aint", "isnt", "arent", "wasnt", "werent",
    "hasnt", "havent", "hadnt", "didnt", "doesnt", "couldnt", "shouldnt", "wouldnt", "mustnt", "youre",
    "youll", "youve", "youd", "theyre", "theyll", "theyve", "theyd", "weve", "were", "wed", "hes", "shes",
    "its", "thats", "whats", "whos", "wheres", "theres", "heres", "lets", "gonna", "wanna", "gotta",
    "kinda", "sorta", "dunno", "u", "r", "ur", "k", "ok", "okay", "yea", "yeah", "yep", "nah", "lol",
    "lmao", "omg", "wtf", "btw", "fyi", "imo", "imho", "tbh", "idk", "irl", "rn", "np", "ty", "tysm", "yw",
    "brb", "smh", "ngl", "fr", "bc", "b4", "thx", "pls", "plz", "msg", "rly", "srsly", "w", "wbu", "hbu",
};
} // namespace

const QSet<QString>& protectedWords()
{
    static const QSet<QString> words = [] {
        QSet<QString> s;
        for (const char* w : kProtected)
            s.insert(QString::fromLatin1(w));
        return s;
    }();
    return words;
}

const QList<QPair<QString, QString>>& correctionList()
{
    static const QList<QPair<QString, QString>> list = [] {
        QList<QPair<QString, QString>> l;
        l.reserve(std::size(kCorrections));
        for (const Pair& p : kCorrections)
            l.append({QString::fromLatin1(p.wrong), QString::fromLatin1(p.right)});
        return l;
    }();
    return list;
}

const QHash<QString, QString>& corrections()
{
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> m;
        for (const auto& [wrong, right] : correctionList())
            m.insert(wrong, right);
        return m;
    }();
    return map;
}

const QHash<QString, QString>& safeCorrections()
{
    static const QHash<QString, QString> map = [] {
        QHash<QString, QString> m;
        for (auto it = corrections().begin(); it != corrections().end(); ++it) {
            if (protectedWords().contains(it.key()) || it.key().toLower() == it.value().toLower())
                continue;
            m.insert(it.key(), it.value());
        }
        return m;
    }();
    return map;
}

} // namespace SpellData
