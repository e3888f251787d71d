#import <Foundation/Foundation.h>

@interface Greeter : NSObject
@property (nonatomic, copy) NSString *name;
- (NSString *)greeting;
@end

@implementation Greeter
- (NSString *)greeting {
    return [NSString stringWithFormat:@"Hello, %@", self.name];
}
@end

int main(int argc, const char *argv[]) {
    Greeter *greeter = [[Greeter alloc] init];
    greeter.name = @"Ada";
    NSLog(@"%@", [greeter greeting]);
    return 0;
}
